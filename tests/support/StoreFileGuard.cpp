#include "support/StoreFileGuard.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

namespace vantrel::test {

namespace {

using OpenCall = int (*)(const char*, int, int);
using CloseCall = int (*)(int);

// What the guard has learnt so far. inotify merges an event into the previous one when both
// are alike and the first is still unread, so the queue is read out before and after each of
// SQLite's own opens: whatever was queued before is someone else's, and SQLite's open then
// stands alone in the queue.
struct GuardState {
    std::mutex mutex;
    int inotify = -1;  // the active guard's, or -1
    std::string storeName;
    std::map<std::string, int> foreignOpens;  // file name → opens not made by SQLite
    std::set<int> sqliteDescriptors;          // descriptors SQLite holds now
    OpenCall realOpen = nullptr;
    CloseCall realClose = nullptr;
};

GuardState& state() {
    static GuardState instance;
    return instance;
}

bool isStoreFileName(const std::string& name, const std::string& store) {
    return name == store || name == store + "-wal" || name == store + "-shm" ||
           name == store + "-journal";
}

/// Reads every queued event; opens of the store's files go to `opens`.
void drainEvents(GuardState& guard, std::map<std::string, int>& opens) {
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        ssize_t length = ::read(guard.inotify, buffer, sizeof buffer);
        if (length <= 0) return;
        for (char* at = buffer; at < buffer + length;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            if (event->len > 0 && isStoreFileName(event->name, guard.storeName))
                opens[event->name]++;
            at += sizeof(inotify_event) + event->len;
        }
    }
}

int countingOpen(const char* path, int flags, int mode) {
    auto& guard = state();
    std::lock_guard lock(guard.mutex);
    if (guard.inotify >= 0) drainEvents(guard, guard.foreignOpens);
    int fd = guard.realOpen(path, flags, mode);
    if (fd < 0) return fd;
    guard.sqliteDescriptors.insert(fd);
    if (guard.inotify >= 0) {
        std::map<std::string, int> opens;
        drainEvents(guard, opens);
        auto own = opens.find(std::filesystem::path(path).filename().string());
        if (own != opens.end()) own->second--;
        for (const auto& [file, count] : opens)
            if (count > 0) guard.foreignOpens[file] += count;
    }
    return fd;
}

int countingClose(int fd) {
    auto& guard = state();
    {
        std::lock_guard lock(guard.mutex);
        guard.sqliteDescriptors.erase(fd);
    }
    return guard.realClose(fd);
}

// SQLite's unix VFS makes every system call through a table that applications may redirect;
// doing so once, before any connection, lets the guard tell SQLite's descriptors from others.
void countSqliteDescriptors() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
        auto& guard = state();
        guard.realOpen = reinterpret_cast<OpenCall>(vfs->xGetSystemCall(vfs, "open"));
        guard.realClose = reinterpret_cast<CloseCall>(vfs->xGetSystemCall(vfs, "close"));
        if (!guard.realOpen || !guard.realClose ||
            vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(countingOpen)) !=
                SQLITE_OK ||
            vfs->xSetSystemCall(vfs, "close",
                                reinterpret_cast<sqlite3_syscall_ptr>(countingClose)) != SQLITE_OK)
            throw std::runtime_error("cannot redirect the SQLite VFS's system calls");
    });
}

}  // namespace

StoreFileGuard::StoreFileGuard(std::filesystem::path store)
    : m_store(std::filesystem::absolute(std::move(store))) {
    countSqliteDescriptors();
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0 || inotify_add_watch(m_inotify, m_store.parent_path().c_str(), IN_OPEN) < 0)
        throw std::runtime_error("cannot watch " + m_store.parent_path().string());
    auto& guard = state();
    std::lock_guard lock(guard.mutex);
    guard.inotify = m_inotify;
    guard.storeName = m_store.filename().string();
    guard.foreignOpens.clear();
}

StoreFileGuard::~StoreFileGuard() {
    auto& guard = state();
    std::lock_guard lock(guard.mutex);
    guard.inotify = -1;
    ::close(m_inotify);
}

std::vector<std::string> StoreFileGuard::foreignOpens() {
    auto& guard = state();
    std::lock_guard lock(guard.mutex);
    drainEvents(guard, guard.foreignOpens);
    std::vector<std::string> foreign;
    for (const auto& [name, opens] : guard.foreignOpens)
        foreign.push_back(name + " opened " + std::to_string(opens) + " time(s) outside SQLite");
    guard.foreignOpens.clear();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        auto target = std::filesystem::read_symlink(entry.path(), error);
        if (error || target.parent_path() != m_store.parent_path() ||
            !isStoreFileName(target.filename().string(), guard.storeName))
            continue;
        int fd = std::stoi(entry.path().filename().string());
        if (!guard.sqliteDescriptors.contains(fd))
            foreign.push_back(target.filename().string() + " held open on descriptor " +
                              std::to_string(fd) + " that SQLite did not open");
    }
    return foreign;
}

}  // namespace vantrel::test
