#include "import/ZipArchiveReader.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "import/LibArchive.h"

namespace vantrel {

namespace {

constexpr std::size_t kReadBlockSize = std::size_t{64} * 1024;

// libarchive converts entry names with the thread's LC_CTYPE; under the plain "C" locale names
// with non-ASCII characters come back mangled, and two such names could then collide.
class ScopedUtf8Locale {
  public:
    ScopedUtf8Locale() {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (utf8 != static_cast<locale_t>(0)) m_previous = uselocale(utf8);
    }
    ~ScopedUtf8Locale() {
        if (m_previous != static_cast<locale_t>(0)) uselocale(m_previous);
    }
    ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
    ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

  private:
    locale_t m_previous = static_cast<locale_t>(0);
};

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isAbsoluteName(const std::string& name) {
    if (!name.empty() && isSeparator(name.front())) return true;
    return name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
}

std::vector<std::string> nameComponents(const std::string& name) {
    std::vector<std::string> components;
    std::string current;
    for (char c : name) {
        if (!isSeparator(c)) {
            current += c;
            continue;
        }
        components.push_back(std::move(current));
        current.clear();
    }
    components.push_back(std::move(current));
    return components;
}

/// The normalised path of a member name, or nothing when the name could lead out of the folder
/// it would be extracted into.
std::optional<std::string> safeMemberPath(const std::string& name) {
    if (isAbsoluteName(name)) return std::nullopt;
    std::string path;
    for (const auto& component : nameComponents(name)) {
        if (component == "..") return std::nullopt;
        if (component.empty() || component == ".") continue;
        if (!path.empty()) path += '/';
        path += component;
    }
    return path;
}

std::optional<std::string> entryName(const LibArchive& lib, archive_entry* entry) {
    if (const char* name = lib.entryPathname(entry)) return std::string(name);
    if (const char* name = lib.entryPathnameUtf8(entry)) return std::string(name);
    return std::nullopt;
}

/// Replays what extraction does to a folder tree, member by member.
class ExtractionTree {
  public:
    enum class Outcome { added, replaced, clash };

    Outcome addFile(const std::string& path, std::size_t position) {
        if (m_folders.count(path) != 0 || hasFileAncestor(path)) return Outcome::clash;
        addAncestors(path);
        auto [it, inserted] = m_files.try_emplace(path, position);
        if (inserted) return Outcome::added;
        m_replaced.push_back(it->second);
        it->second = position;
        return Outcome::replaced;
    }

    bool addFolder(const std::string& path) {
        if (m_files.count(path) != 0 || hasFileAncestor(path)) return false;
        addAncestors(path);
        m_folders.insert(path);
        return true;
    }

    const std::vector<std::size_t>& replacedPositions() const { return m_replaced; }

  private:
    bool hasFileAncestor(const std::string& path) const {
        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            if (m_files.count(path.substr(0, slash)) != 0) return true;
        }
        return false;
    }

    void addAncestors(const std::string& path) {
        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            m_folders.insert(path.substr(0, slash));
        }
    }

    std::unordered_map<std::string, std::size_t> m_files;
    std::unordered_set<std::string> m_folders;
    std::vector<std::size_t> m_replaced;
};

}  // namespace

struct ZipArchiveReader::Handle {
    const LibArchive& lib;
    archive* reader = lib.readNew();
    archive_entry* entry = nullptr;

    explicit Handle(const LibArchive& library) : lib(library) { lib.readSupportFormatZip(reader); }
    ~Handle() { lib.readFree(reader); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool open(const std::filesystem::path& file) {
        return lib.readOpenFilename(reader, file.c_str(), kReadBlockSize) == ARCHIVE_OK;
    }
    std::string errorString() const {
        const char* text = lib.errorString(reader);
        return text != nullptr ? text : "unknown archive error";
    }
    /// ARCHIVE_WARN (e.g. a name that could not be converted) still gives a usable header.
    bool nextHeader(int* status = nullptr) {
        int result = lib.readNextHeader(reader, &entry);
        if (status != nullptr) *status = result;
        return result == ARCHIVE_OK || result == ARCHIVE_WARN;
    }
};

namespace {

/// The library, or an error naming why it could not be loaded.
const LibArchive& libArchive() {
    const LibArchive* lib = LibArchive::get();
    if (lib == nullptr) throw ZipMemberError("cannot load libarchive: " + LibArchive::loadError());
    return *lib;
}

/// Why extracting an entry would be unsafe or impossible, or nothing when it is a file or
/// folder that stays inside the extraction folder.
std::optional<std::string> rejectionOf(const LibArchive& lib, archive_entry* entry,
                                       const std::optional<std::string>& name,
                                       const std::optional<std::string>& path) {
    if (!name) return "a name that cannot be read";
    if (!path) return isAbsoluteName(*name) ? "an absolute path" : "a path that leads outside";
    if (lib.entryHardlink(entry) != nullptr || lib.entrySymlink(entry) != nullptr) return "a link";
    auto type = lib.entryFiletype(entry);
    if (type != AE_IFREG && type != AE_IFDIR) return "not a file";
    return std::nullopt;
}

void listEntry(ZipListing& listing, ExtractionTree& tree, const ZipArchiveReader::Handle& handle,
               std::size_t index) {
    const LibArchive& lib = handle.lib;
    archive_entry* entry = handle.entry;
    auto name = entryName(lib, entry);
    auto path = name ? safeMemberPath(*name) : std::nullopt;
    auto reject = [&](const std::string& reason) {
        listing.rejectedEntries.push_back(
            {name.value_or("entry " + std::to_string(index + 1)), reason});
    };
    if (auto rejection = rejectionOf(lib, entry, name, path)) return reject(*rejection);
    if (path->empty()) return;
    if (lib.entryFiletype(entry) == AE_IFDIR) {
        if (!tree.addFolder(*path)) reject("clashes with a file of an earlier member");
        return;
    }
    if (tree.addFile(*path, listing.files.size()) == ExtractionTree::Outcome::clash) {
        return reject("clashes with a file or folder of another member");
    }
    std::optional<std::uint64_t> size;
    if (lib.entrySizeIsSet(entry) && lib.entrySize(entry) >= 0)
        size = static_cast<std::uint64_t>(lib.entrySize(entry));
    listing.files.push_back({index, *name, *path, size});
}

void dropReplaced(ZipListing& listing, const std::vector<std::size_t>& replaced) {
    if (replaced.empty()) return;
    std::vector<bool> dead(listing.files.size(), false);
    for (auto position : replaced) dead[position] = true;
    std::vector<ZipMember> survivors;
    survivors.reserve(listing.files.size() - replaced.size());
    for (std::size_t i = 0; i < listing.files.size(); ++i) {
        if (!dead[i]) survivors.push_back(std::move(listing.files[i]));
    }
    listing.files = std::move(survivors);
}

}  // namespace

std::string ZipMember::fileName() const {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

ZipListing listZipArchive(const std::filesystem::path& archive) {
    ScopedUtf8Locale locale;
    ZipListing listing;
    const LibArchive* lib = LibArchive::get();
    if (lib == nullptr) {
        listing.errorString = "cannot load libarchive: " + LibArchive::loadError();
        return listing;
    }
    ZipArchiveReader::Handle handle(*lib);
    if (!handle.open(archive)) {
        listing.errorString = handle.errorString();
        return listing;
    }
    ExtractionTree tree;
    for (std::size_t index = 0;; ++index) {
        int status = ARCHIVE_OK;
        if (!handle.nextHeader(&status)) {
            if (status == ARCHIVE_EOF) break;
            if (index == 0) {
                listing.errorString = handle.errorString();
                return listing;
            }
            listing.rejectedEntries.push_back({"entry " + std::to_string(index + 1),
                                               "a damaged header: " + handle.errorString()});
            break;
        }
        listEntry(listing, tree, handle, index);
    }
    listing.readable = true;
    dropReplaced(listing, tree.replacedPositions());
    return listing;
}

ZipArchiveReader::ZipArchiveReader(std::filesystem::path archive) : m_archive(std::move(archive)) {}

ZipArchiveReader::~ZipArchiveReader() = default;

Bytes ZipArchiveReader::read(const ZipMember& member, std::uint64_t sizeLimit) {
    ScopedUtf8Locale locale;
    moveTo(member);
    const LibArchive& lib = m_handle->lib;
    archive_entry* entry = m_handle->entry;
    if (lib.entryIsDataEncrypted(entry)) throw ZipMemberError("encrypted member");
    if (lib.entrySizeIsSet(entry) && static_cast<std::uint64_t>(lib.entrySize(entry)) > sizeLimit) {
        throw ZipMemberError("member larger than " + std::to_string(sizeLimit) + " bytes");
    }
    return readCurrent(sizeLimit);
}

void ZipArchiveReader::moveTo(const ZipMember& member) {
    if (!m_handle || m_headersRead > member.entryIndex) {
        m_handle = std::make_unique<Handle>(libArchive());
        m_headersRead = 0;
        if (!m_handle->open(m_archive)) fail(m_handle->errorString());
    }
    while (m_headersRead <= member.entryIndex) {
        if (!m_handle->nextHeader()) fail(m_handle->errorString());
        ++m_headersRead;
    }
    if (entryName(m_handle->lib, m_handle->entry) != member.storedName)
        fail("the archive changed while reading");
}

Bytes ZipArchiveReader::readCurrent(std::uint64_t sizeLimit) {
    const LibArchive& lib = m_handle->lib;
    Bytes bytes;
    // Declared sizes can lie, so they only size the first allocation, never beyond the limit:
    // reserved and untouched, a lying size costs address space, not memory. Sized right, the
    // buffer never holds a grown and an outgrown copy at once.
    if (lib.entrySizeIsSet(m_handle->entry)) {
        auto declared = static_cast<std::uint64_t>(lib.entrySize(m_handle->entry));
        bytes.reserve(static_cast<std::size_t>(std::min(declared, sizeLimit)));
    }
    std::uint8_t block[kReadBlockSize];
    for (;;) {
        la_ssize_t count = lib.readData(m_handle->reader, block, sizeof block);
        if (count == 0) return bytes;
        if (count < 0) fail(m_handle->errorString());
        if (bytes.size() + static_cast<std::uint64_t>(count) > sizeLimit) {
            // Skipping the rest of a bomb would inflate it all; starting afresh is cheaper.
            fail("member larger than " + std::to_string(sizeLimit) + " bytes");
        }
        bytes.insert(bytes.end(), block, block + count);
    }
}

void ZipArchiveReader::fail(const std::string& reason) {
    m_handle.reset();
    m_headersRead = 0;
    throw ZipMemberError(reason);
}

}  // namespace vantrel
