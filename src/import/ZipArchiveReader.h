#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Bytes.h"

namespace vantrel {

/// Largest uncompressed member the bulk imports read: 512 MiB.
inline constexpr std::uint64_t kDefaultZipMemberSizeLimit = 512ull * 1024 * 1024;

/// One regular file that extracting the whole archive into an empty folder would leave behind.
struct ZipMember {
    /// Position of the member among all entries of the archive, counted from 0.
    std::size_t entryIndex = 0;
    /// The name as stored in the archive (raw bytes; not necessarily UTF-8).
    std::string storedName;
    /// `storedName` with "/" (or "\") separators, without empty and "." components.
    std::string path;
    /// The uncompressed size the archive declares; absent when it declares none. Only a hint:
    /// reading checks the actual size against its limit.
    std::optional<std::uint64_t> declaredSize;

    /// The last component of `path`.
    std::string fileName() const;
};

/// An entry of an archive refused without being read, and why.
struct RejectedZipEntry {
    /// The name as stored (raw bytes), or "entry N" when the header could not be read.
    std::string name;
    std::string reason;
};

/// What a header-only pass over an archive found.
struct ZipListing {
    /// False when the archive could not be opened as a ZIP archive at all: then it has no files.
    bool readable = false;
    /// libarchive's reason when `readable` is false.
    std::string errorString;
    /// Surviving regular files in archive order; a later member with the same path replaces an
    /// earlier one, which is dropped.
    std::vector<ZipMember> files;
    /// Entries refused without being read: absolute paths, ".." components, links, special
    /// files, paths that clash with a file or folder of an earlier member, a header that could
    /// not be read after the first one (a truncated archive).
    std::vector<RejectedZipEntry> rejectedEntries;
};

/// A member that could not be read: encrypted, larger than the limit, or damaged.
class ZipMemberError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Lists an archive by its headers; never reads member contents and never writes anything.
ZipListing listZipArchive(const std::filesystem::path& archive);

/// Reads the contents of listed members, one at a time and in increasing `entryIndex` order
/// for speed (asking for an earlier member reopens the archive). After a failed member the next
/// read starts from a freshly opened archive, so one damaged member never hides the others.
/// Not thread-safe: use one reader per thread.
class ZipArchiveReader {
  public:
    explicit ZipArchiveReader(std::filesystem::path archive);
    ~ZipArchiveReader();
    ZipArchiveReader(const ZipArchiveReader&) = delete;
    ZipArchiveReader& operator=(const ZipArchiveReader&) = delete;

    /// The member's whole contents. Throws `ZipMemberError` for an encrypted member, one whose
    /// declared or actual size exceeds `sizeLimit` (never holding more than the limit), one that
    /// no longer matches the listing, or one whose data cannot be decompressed.
    Bytes read(const ZipMember& member, std::uint64_t sizeLimit = kDefaultZipMemberSizeLimit);

    struct Handle;

  private:
    void moveTo(const ZipMember& member);
    Bytes readCurrent(std::uint64_t sizeLimit);
    [[noreturn]] void fail(const std::string& reason);

    std::filesystem::path m_archive;
    std::unique_ptr<Handle> m_handle;
    std::size_t m_headersRead = 0;
};

}  // namespace vantrel
