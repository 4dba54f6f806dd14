#include "model/CacheFile.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace vantrel {

namespace {

// Folders are made private: a cache can tell what the user did and where.
constexpr mode_t kFolderMode = 0700;

bool isWritableByAnotherGroup(const struct stat& info) {
    return (info.st_mode & S_IWGRP) != 0 && info.st_gid != getegid();
}

/// Missing, or a regular file of this user that no other name links to.
bool isSafeEntry(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode) && info.st_uid == geteuid() && info.st_nlink == 1;
}

std::filesystem::path siblingOf(const std::filesystem::path& wanted) {
    std::filesystem::path sibling = wanted;
    sibling.replace_filename(wanted.stem().string() + ".rebuilt" + wanted.extension().string());
    return sibling;
}

}  // namespace

bool CacheFile::isSafeFolder(const std::filesystem::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & S_IWOTH) == 0 &&
           !isWritableByAnotherGroup(info);
}

bool CacheFile::prepareFolder(const std::filesystem::path& folder) {
    std::filesystem::path partial;
    for (const auto& part : folder.empty() ? std::filesystem::path(".") : folder) {
        partial /= part;
        struct stat info {};
        // Folders above the cache's own may be symlinks (a home on another disk); only the
        // last one is checked.
        if (::stat(partial.c_str(), &info) == 0) continue;
        if (::mkdir(partial.c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
    }
    return isSafeFolder(folder.empty() ? std::filesystem::path(".") : folder);
}

bool CacheFile::isSafeFile(const std::filesystem::path& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        if (!isSafeEntry(file.string() + suffix)) return false;
    return true;
}

std::optional<std::filesystem::path> CacheFile::usablePath(const std::filesystem::path& wanted) {
    if (!prepareFolder(wanted.parent_path())) return std::nullopt;
    if (isSafeFile(wanted)) return wanted;
    std::filesystem::path sibling = siblingOf(wanted);
    if (isSafeFile(sibling)) return sibling;
    return std::nullopt;
}

int CacheFile::openDatabase(const std::filesystem::path& file, sqlite3** db) {
    return sqlite3_open_v2(file.c_str(), db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                           nullptr);
}

}  // namespace vantrel
