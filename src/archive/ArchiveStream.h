#pragma once

#include <simdjson.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "archive/ArchivedRideReader.h"
#include "archive/JsonInput.h"
#include "archive/RideArchiveExporter.h"
#include "import/FileBytes.h"

namespace vantrel {

/// Largest byte field an imported activity may carry, decoded: 256 MB.
inline constexpr std::size_t kArchiveByteFieldLimit = 256'000'000;

/// One activity as the stream read it.
struct StreamedRide {
    RideArchiveExporter::ArchivedRide ride;
    /// Where it stands in the document, as errors name it ("rides[3]").
    std::string path;
    /// The series fields ("routeData", "heartRateData") whose text is not valid Base64; the
    /// activity has them absent.
    std::vector<std::string> damagedSeries;
    /// A byte field whose bytes are larger than the limit; the activity must not be stored.
    std::optional<std::string> oversizedField;
    /// In check mode: the decoded size of each byte field given as a string, by key (at most
    /// two bytes more than the bytes themselves).
    std::vector<std::pair<std::string, std::size_t>> byteFieldSizes;
};

/// A "Vantrel Format" document read front to back, one activity of "rides" at a time, so that
/// memory holds one activity and never the whole file. It refuses what a reading of the whole
/// document refuses, with the same texts, and also a key that appears twice in one object at any
/// depth. Values of unknown keys are checked for their structure and passed over.
class ArchiveStream {
  public:
    enum class Mode {
        /// Every value is read and kept.
        read,
        /// Texts and byte fields are checked but not kept: a first pass that only finds
        /// whether the document is sound and how many activities it holds.
        check
    };

    /// The decoded size of the byte field `key` of the activity at `position` (from 0), as a
    /// reading in check mode found it; 0 when not known.
    using SizeHint = std::function<std::size_t(std::size_t position, std::string_view key)>;

    explicit ArchiveStream(JsonSource& source, Mode mode = Mode::read,
                           std::size_t byteFieldLimit = kArchiveByteFieldLimit,
                           SizeHint sizeHint = {});

    /// The next activity in document order; nothing once the document has been read to its end
    /// and found sound. Throws `ArchiveError`.
    std::optional<StreamedRide> next();
    /// "version", "exportDate" and "appName" (and no rides); complete once `next()` returned
    /// nothing.
    const RideArchiveExporter::Archive& header() const { return m_header; }

  private:
    enum class State { start, member, afterMember, rideOrEnd, ride, afterRide, done };

    void step();
    void readDocumentStart(int c);
    void readTopMember();
    void finishDocument();
    std::string readKey(const std::string& path);
    void expectColon(const std::string& path);
    StreamedRide readRide();
    void captureRide(const std::string& path, StreamedValues& streamed);
    void captureMembers(const std::string& path, StreamedValues& streamed);
    void readCapturedPart(const std::string& path, const StreamedValues& streamed);
    void captureMember(const std::string& key, const std::string& path, StreamedValues& streamed);
    void captureScalarOrSkip(const std::string& path);
    void captureShortString();
    StreamedValue readBytes(const char* key);
    StreamedValue readText();
    void skipValue(const std::string& path);
    simdjson::padded_string_view captured();
    [[noreturn]] void failStructure(int found, const std::string& path);

    JsonInput m_input;
    Mode m_mode;
    std::size_t m_byteFieldLimit;
    SizeHint m_sizeHint;
    std::vector<std::pair<std::string, std::size_t>> m_byteFieldSizes;
    State m_state = State::start;
    RideArchiveExporter::Archive m_header;
    std::set<std::string> m_topKeys;
    std::size_t m_rideCount = 0;
    std::string m_capture;
    /// The length of `m_capture` up to the last member captured whole.
    std::size_t m_capturedMembers = 0;
    simdjson::ondemand::parser m_parser;
};

/// The document bytes of an open file.
class FileJsonSource final : public JsonSource {
  public:
    /// Throws `FileAccessError` naming the file when it cannot be opened; `read` throws it when
    /// reading fails.
    explicit FileJsonSource(const std::filesystem::path& file);
    std::size_t read(char* buffer, std::size_t capacity) override;

  private:
    std::filesystem::path m_file;
    std::unique_ptr<FileReader> m_reader;
};

/// Document bytes held in memory (not copied: they must outlive the source).
class MemoryJsonSource final : public JsonSource {
  public:
    explicit MemoryJsonSource(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t read(char* buffer, std::size_t capacity) override;

  private:
    std::string_view m_bytes;
};

}  // namespace vantrel
