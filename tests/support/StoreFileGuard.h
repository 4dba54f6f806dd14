#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantrel::test {

/// Catches descriptors of a store's files (the database, its write-ahead log, its shared memory
/// and its rollback journal) opened by anything but SQLite in this process. Closing such a
/// descriptor drops every POSIX lock the process holds on the file, SQLite's included, after
/// which another process's reader believes itself alone and deletes the write-ahead log.
///
/// Make the guard before the first connection to the store: it routes the SQLite VFS's own
/// `open` and `close` through itself (for the life of the test program) and watches the
/// store's folder for every open with inotify; an open that inotify saw and SQLite did not make
/// is foreign. Child processes opening the store while the guard looks count as foreign too,
/// so look only around work done in this process. One guard at a time.
class StoreFileGuard {
  public:
    explicit StoreFileGuard(std::filesystem::path store);
    ~StoreFileGuard();
    StoreFileGuard(const StoreFileGuard&) = delete;
    StoreFileGuard& operator=(const StoreFileGuard&) = delete;

    /// One line per file opened outside SQLite since the guard was made or last asked, and per
    /// descriptor held open now on a store file that SQLite did not open. Empty when all is well.
    std::vector<std::string> foreignOpens();

  private:
    std::filesystem::path m_store;
    int m_inotify = -1;
};

}  // namespace vantrel::test
