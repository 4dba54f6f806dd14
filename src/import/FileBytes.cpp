#include "import/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace vantrel {

namespace {

[[noreturn]] void failWith(int error) {
    throw FileReadError(std::string("Cannot read file: ") + std::strerror(error));
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

// Reads until end of file; the buffer grows only when the file grew since it was sized.
void readAll(int fd, Bytes& bytes) {
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) bytes.resize(bytes.size() + 65536);
        ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failWith(errno);
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(filled);
}

}  // namespace

Bytes readWholeFile(const std::filesystem::path& file) {
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) failWith(errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) failWith(errno);
    if (S_ISDIR(info.st_mode)) failWith(EISDIR);
    // One byte of slack lets the end of file be seen without growing the buffer.
    Bytes bytes(S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) + 1 : 0);
    readAll(fd.get(), bytes);
    return bytes;
}

}  // namespace vantrel
