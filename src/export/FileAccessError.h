#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace vantrel {

/// A file that could not be read or written; `what()` names the file and the system's reason.
class FileAccessError : public std::runtime_error {
  public:
    static FileAccessError cannotRead(const std::filesystem::path& file,
                                      const std::string& reason) {
        return FileAccessError("Cannot read " + file.string() + ": " + reason);
    }
    static FileAccessError cannotWrite(const std::filesystem::path& file,
                                       const std::string& reason) {
        return FileAccessError("Cannot write " + file.string() + ": " + reason);
    }

  private:
    explicit FileAccessError(const std::string& description) : std::runtime_error(description) {}
};

}  // namespace vantrel
