#include "export/AtomicFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "export/FileAccessError.h"

namespace vantrel {

namespace {

std::filesystem::path temporaryNameFor(const std::filesystem::path& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[20];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return target.parent_path() / ("." + target.filename().string() + ".tmp-" + suffix);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target) : m_target(std::move(target)) {
    if (m_target.filename().empty()) fail(EISDIR);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = temporaryNameFor(m_target);
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) fail(errno);
    }
    if (m_fd < 0) fail(EEXIST);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
}

void AtomicFileWriter::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) fail(errno);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void AtomicFileWriter::commit() {
    std::error_code ignored;
    bool replacing = std::filesystem::exists(std::filesystem::symlink_status(m_target, ignored));
    if (replacing && ::fsync(m_fd) != 0) fail(errno);
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) fail(errno);
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) fail(errno);
    m_temporary.clear();
}

void AtomicFileWriter::fail(int error) {
    throw FileAccessError::cannotWrite(m_target, std::strerror(error));
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    AtomicFileWriter writer(target);
    writer.write(bytes);
    writer.commit();
}

}  // namespace vantrel
