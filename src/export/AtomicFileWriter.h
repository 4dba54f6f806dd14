#pragma once

#include <filesystem>
#include <string_view>

namespace vantrel {

/// Writes a file under a temporary name in the target's folder and renames it over the target
/// only when complete, so that a failed or interrupted write never destroys an older file of the
/// same name. Without `commit()` the temporary file is removed. Every failure throws
/// `FileAccessError` naming the target.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(std::filesystem::path target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void write(std::string_view bytes);
    /// Closes the file and puts it in the target's place. When the target existed the data are
    /// flushed to disk first, so that not even a power cut can leave it empty.
    void commit();

  private:
    [[noreturn]] void fail(int error);

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
};

/// Writes `bytes` to `target` through an `AtomicFileWriter`.
void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

}  // namespace vantrel
