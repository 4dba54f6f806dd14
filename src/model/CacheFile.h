#pragma once

#include <filesystem>
#include <optional>

struct sqlite3;

namespace vantrel {

/// Where a cache file may be written without being turned against its user. A cache is rebuilt
/// at will, so anything odd in its place (a symlink, a hard link, someone else's file) is
/// passed over rather than written through: the file it points to may be an unrelated database
/// or the store itself.
class CacheFile {
  public:
    /// True when `folder` is a real directory (not a symlink) owned by this user that no one
    /// else may write to (a group of the user's own is allowed).
    static bool isSafeFolder(const std::filesystem::path& folder);

    /// Creates `folder` and its missing parents (new ones only for this user), then checks it
    /// as `isSafeFolder` does.
    static bool prepareFolder(const std::filesystem::path& folder);

    /// True when `file` and the companions SQLite keeps beside it ("-wal", "-shm",
    /// "-journal") are each either missing or a regular file of this user with one link.
    static bool isSafeFile(const std::filesystem::path& file);

    /// The file to use for the cache wanted at `wanted`: `wanted` itself when safe, otherwise a
    /// sibling of a different name in the same folder. Absent when the folder is unsafe or
    /// neither file may be used: the caller then keeps its cache in memory.
    static std::optional<std::filesystem::path> usablePath(const std::filesystem::path& wanted);

    /// Opens (creating) the SQLite file `file` for reading and writing without following a
    /// symlink in its place; the SQLite result code, `*db` set as sqlite3_open_v2 sets it.
    static int openDatabase(const std::filesystem::path& file, sqlite3** db);
};

}  // namespace vantrel
