#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/Bytes.h"
#include "model/Date.h"

namespace vantrel::test {

/// Writes a ZIP archive member by member with libarchive, for tests of the bulk imports.
class ZipTestArchive {
  public:
    /// With a passphrase every member is encrypted with the traditional ZIP cipher.
    explicit ZipTestArchive(const std::filesystem::path& file,
                            std::optional<std::string> passphrase = std::nullopt)
        : m_writer(archive_write_new()) {
        archive_write_set_format_zip(m_writer);
        if (passphrase) {
            check(archive_write_set_format_option(m_writer, "zip", "encryption", "zipcrypt"));
            check(archive_write_set_passphrase(m_writer, passphrase->c_str()));
        }
        check(archive_write_open_filename(m_writer, file.c_str()));
    }
    ~ZipTestArchive() { close(); }
    ZipTestArchive(const ZipTestArchive&) = delete;
    ZipTestArchive& operator=(const ZipTestArchive&) = delete;

    ZipTestArchive& add(const std::string& name, std::string_view content) {
        return addEntry(name, AE_IFREG, content);
    }
    ZipTestArchive& add(const std::string& name, const Bytes& content) {
        return add(name,
                   std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
    }
    ZipTestArchive& addFolder(const std::string& name) { return addEntry(name, AE_IFDIR, {}); }
    ZipTestArchive& addSymlink(const std::string& name, const std::string& target) {
        archive_entry* entry = newEntry(name, AE_IFLNK, 0);
        archive_entry_set_symlink(entry, target.c_str());
        return finishEntry(entry, {});
    }
    void close() {
        if (m_writer == nullptr) return;
        archive_write_close(m_writer);
        archive_write_free(m_writer);
        m_writer = nullptr;
    }

  private:
    archive_entry* newEntry(const std::string& name, unsigned type, std::size_t size) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        archive_entry_set_filetype(entry, type);
        archive_entry_set_perm(entry, type == AE_IFDIR ? 0755 : 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(size));
        archive_entry_set_mtime(entry, 1700000000, 0);
        return entry;
    }
    ZipTestArchive& addEntry(const std::string& name, unsigned type, std::string_view content) {
        return finishEntry(newEntry(name, type, content.size()), content);
    }
    ZipTestArchive& finishEntry(archive_entry* entry, std::string_view content) {
        int status = archive_write_header(m_writer, entry);
        archive_entry_free(entry);
        check(status);
        if (!content.empty()) archive_write_data(m_writer, content.data(), content.size());
        return *this;
    }
    void check(int status) {
        if (status < ARCHIVE_WARN) throw std::runtime_error(archive_error_string(m_writer));
    }

    archive* m_writer;
};

/// A small GPX track of `points` one-minute steps starting at `unixStart`, optionally with a
/// `<type>` and with altitudes rising by `climbPerPoint` metres.
inline std::string makeGpx(double unixStart, int points = 30,
                           std::optional<std::string> type = std::nullopt,
                           double climbPerPoint = 0) {
    std::string gpx =
        "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk>";
    if (type) gpx += "<type>" + *type + "</type>";
    gpx += "<trkseg>";
    for (int i = 0; i < points; ++i) {
        gpx += "<trkpt lat=\"" + std::to_string(47.0 + i * 0.001) + "\" lon=\"8.5\"><ele>" +
               std::to_string(400 + i * climbPerPoint) + "</ele><time>" +
               formatISO8601(dateFromUnix(unixStart + 60.0 * i)) + "</time></trkpt>";
    }
    return gpx + "</trkseg></trk></gpx>\n";
}

}  // namespace vantrel::test
