#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "model/Bytes.h"

namespace vantrel {

/// A file that could not be read; `what()` is the user-facing description.
class FileReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    /// "Cannot read file: " and the description of the system's error number `systemError`.
    explicit FileReadError(int systemError);

    /// The system's error number when the system refused the reading, otherwise 0.
    int systemError() const { return m_systemError; }

  private:
    int m_systemError = 0;
};

/// An open file read front to back in pieces, for readers that need not hold it whole. Opening
/// fails exactly as `readWholeFile` does.
class FileReader {
  public:
    explicit FileReader(const std::filesystem::path& file);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    /// Up to `capacity` further bytes into `buffer`; 0 only at the end of the file. Throws
    /// `FileReadError` when reading fails.
    std::size_t read(char* buffer, std::size_t capacity);
    /// The size the file had when opened; 0 for anything but a regular file.
    std::size_t sizeWhenOpened() const { return m_size; }
    /// The rest of the file in one buffer; absent, having read no more than `maxBytes` + 1
    /// bytes, when it holds more than `maxBytes`.
    std::optional<Bytes> readRest(std::size_t maxBytes = SIZE_MAX);

  private:
    int m_fd = -1;
    std::size_t m_size = 0;
};

/// The whole file in one buffer, read once. Throws `FileReadError` ("Cannot read file: " and
/// the system's reason) for a missing, unreadable or non-regular file.
Bytes readWholeFile(const std::filesystem::path& file);

}  // namespace vantrel
