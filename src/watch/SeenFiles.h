#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vantrel {

/// What identifies one version of a file: a file that is written again changes one or both.
struct FileState {
    std::uint64_t size = 0;
    /// Modification time, nanoseconds since 1970.
    std::int64_t modified = 0;
    friend bool operator==(const FileState&, const FileState&) = default;
};

/// The state of the file at `file` (symbolic links followed); absent when it is not a regular
/// file or cannot be looked at.
std::optional<FileState> fileStateOf(const std::filesystem::path& file);

/// What became of a file the watcher read.
enum class SeenOutcome : char { imported = 'i', skipped = 's', failed = 'f' };

struct SeenFile {
    FileState state;
    SeenOutcome outcome = SeenOutcome::imported;
    friend bool operator==(const SeenFile&, const SeenFile&) = default;
};

/// The entries of a memory file's text: one line per file ("i", size, time and path, separated
/// by tabs; tab, line feed and backslash in the path escaped). A later line for the same path
/// replaces an earlier one; lines that do not read are passed over.
std::unordered_map<std::string, SeenFile> parseSeenFiles(std::string_view text);
/// The line `parseSeenFiles` reads back as this entry.
std::string seenFileLine(const std::string& path, const SeenFile& seen);

/// The memory of the files one watched place held when they were read, so that a restart, or a
/// watch plugged in again, reads only what is new or changed. Kept in a file that grows by one
/// line per file read and is compacted when it is opened. Not thread-safe.
class SeenFiles {
  public:
    /// Reads the memory at `file` (none yet, or unreadable: an empty memory). `identity` names
    /// the place in the file's first line, for a person looking into the cache.
    SeenFiles(std::filesystem::path file, const std::string& identity);
    ~SeenFiles();
    SeenFiles(const SeenFiles&) = delete;
    SeenFiles& operator=(const SeenFiles&) = delete;

    /// What was remembered for the file at `relativePath` (relative to the place), if anything.
    const SeenFile* find(const std::string& relativePath) const;
    /// True when the file was read in exactly this state.
    bool isSeen(const std::string& relativePath, const FileState& state) const;
    /// Remembers a file, in memory and on disk. A memory that cannot be written is kept for
    /// this run only; `writeError()` then says why.
    void remember(const std::string& relativePath, const SeenFile& seen);
    std::size_t size() const { return m_entries.size(); }
    const std::optional<std::string>& writeError() const { return m_writeError; }

  private:
    void compact(const std::string& identity);
    void append(const std::string& text);

    std::filesystem::path m_file;
    std::unordered_map<std::string, SeenFile> m_entries;
    int m_fd = -1;
    std::optional<std::string> m_writeError;
};

/// Where the memory of one watched place lives: a file in `folder` named after a hash of the
/// store and the place, so that each store remembers for itself.
std::filesystem::path seenFilesPath(const std::filesystem::path& folder,
                                    const std::string& storeDescription,
                                    const std::string& placeIdentity);

}  // namespace vantrel
