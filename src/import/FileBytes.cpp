#include "import/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace vantrel {

namespace {

[[noreturn]] void failWith(int error) {
    throw FileReadError(error);
}

// Retries reads the system interrupted; any other failure is the user's error to see.
std::size_t readSome(int fd, std::uint8_t* buffer, std::size_t capacity) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, capacity);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) failWith(errno);
    }
}

}  // namespace

FileReadError::FileReadError(int systemError)
    : std::runtime_error(std::string("Cannot read file: ") + std::strerror(systemError)),
      m_systemError(systemError) {}

FileReader::FileReader(const std::filesystem::path& file)
    : m_fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (m_fd < 0) failWith(errno);
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(m_fd);
        failWith(error);
    }
    if (S_ISREG(info.st_mode)) m_size = static_cast<std::size_t>(info.st_size);
}

FileReader::~FileReader() {
    ::close(m_fd);
}

std::size_t FileReader::read(char* buffer, std::size_t capacity) {
    return readSome(m_fd, reinterpret_cast<std::uint8_t*>(buffer), capacity);
}

std::optional<Bytes> FileReader::readRest(std::size_t maxBytes) {
    // One byte of slack lets the end of file be seen without growing the buffer; the buffer
    // grows only when the file grew since it was sized.
    std::size_t capacity = maxBytes == SIZE_MAX ? maxBytes : maxBytes + 1;
    Bytes bytes(std::min(m_size, maxBytes) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) bytes.resize(std::min(bytes.size() + 65536, capacity));
        std::size_t n = read(reinterpret_cast<char*>(bytes.data()) + filled, bytes.size() - filled);
        if (n == 0) break;
        filled += n;
        if (filled > maxBytes) return std::nullopt;
    }
    bytes.resize(filled);
    return bytes;
}

Bytes readWholeFile(const std::filesystem::path& file) {
    return *FileReader(file).readRest();
}

}  // namespace vantrel
