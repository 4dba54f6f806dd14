#include "watch/WatcherLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/Paths.h"
#include "watch/WatchError.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace vantrel {

std::filesystem::path WatcherLock::pathFor(const std::string& storeLocation) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path folder =
        runtime != nullptr && *runtime == '/' ? std::filesystem::path(runtime) : cacheFolder();
    char name[48];
    std::snprintf(
        name, sizeof name, "vantrel-watch-%016llx.lock",
        static_cast<unsigned long long>(XXH3_64bits(storeLocation.data(), storeLocation.size())));
    return folder / name;
}

WatcherLock::WatcherLock(const std::string& storeLocation, std::string holder)
    : m_path(pathFor(storeLocation)), m_holder(std::move(holder)) {}

WatcherLock::~WatcherLock() {
    if (m_notify >= 0) ::close(m_notify);
    if (m_fd >= 0) ::close(m_fd);
}

bool WatcherLock::tryAcquire() {
    if (m_held) return true;
    if (m_fd < 0) {
        std::error_code error;
        std::filesystem::create_directories(m_path.parent_path(), error);
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            throw WatchError("Cannot make the watcher's lock " + m_path.string() + ": " +
                             std::strerror(errno));
        m_notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_notify >= 0)
            inotify_add_watch(m_notify, m_path.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) return false;
    m_held = true;
    std::string text = m_holder + " (process " + std::to_string(::getpid()) + ")\n";
    if (::ftruncate(m_fd, 0) == 0) {
        // Who holds it is only shown to those who wait; a failed write changes nothing.
        [[maybe_unused]] ssize_t written = ::pwrite(m_fd, text.data(), text.size(), 0);
    }
    return true;
}

std::string WatcherLock::currentHolder() const {
    std::array<char, 256> buffer{};
    int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    ssize_t length = ::read(fd, buffer.data(), buffer.size() - 1);
    ::close(fd);
    std::string text(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
    return text;
}

void WatcherLock::takeWakeUps() {
    std::array<char, 4096> buffer;
    while (m_notify >= 0 && ::read(m_notify, buffer.data(), buffer.size()) > 0) {
    }
}

}  // namespace vantrel
