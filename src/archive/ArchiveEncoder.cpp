#include "archive/ArchiveEncoder.h"

#include <charconv>
#include <cmath>

#include "archive/ArchiveError.h"
#include "archive/ArchiveField.h"
#include "export/Utf8Text.h"
#include "model/JsonWriter.h"

namespace vantrel {

namespace {

using RideArchiveExporter::ArchivedRide;

/// Large enough to keep file writes efficient, small enough not to matter in memory.
constexpr std::size_t kChunkSize = 1 << 20;

std::string ridePath(std::size_t index, const char* key) {
    return "rides[" + std::to_string(index) + "]." + key;
}

/// Shortest text of a stored value, also for NaN and infinities.
std::string storedValueText(double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void requireFiniteNumbers(const ArchivedRide& ride, std::size_t index) {
    for (const ArchiveField& field : archiveFields()) {
        auto value = field.number(ride);
        if (value && !std::isfinite(*value)) {
            throw ArchiveError::invalidNumber(ridePath(index, field.key), *value);
        }
    }
}

void writeRide(std::string& out, const ArchivedRide& ride) {
    out += '{';
    bool first = true;
    for (const ArchiveField* field : archiveFieldsByKey()) {
        if (!field->present(ride)) continue;
        if (!first) out += ',';
        first = false;
        out += '"';
        out += field->key;
        out += "\":";
        field->write(out, ride);
    }
    out += '}';
}

}  // namespace

ArchiveEncoder::ArchiveEncoder(Sink sink, Date exportDate, std::string_view appName,
                               std::int64_t version)
    : m_sink(std::move(sink)), m_version(version) {
    if (!isFormattableISO8601(exportDate))
        throw ArchiveError::invalidNumber("exportDate", exportDate);
    m_buffer += "{\"appName\":";
    appendText(m_buffer, appName);
    m_buffer += ",\"exportDate\":";
    JsonWriter::appendString(m_buffer, formatISO8601(exportDate));
    m_buffer += ",\"rides\":[";
}

std::optional<std::string> ArchiveEncoder::unwritableDate(const ArchivedRide& ride) {
    auto reason = [&](const char* key, Date value) {
        return "Skipped activity " + ride.rideID.toString() + ": its " + key + " (" +
               storedValueText(value) +
               " s after 2001) is not a time between the years 0001 and 9999.";
    };
    if (!isFormattableISO8601(ride.date)) return reason("date", ride.date);
    if (ride.deletedAt && !isFormattableISO8601(*ride.deletedAt))
        return reason("deletedAt", *ride.deletedAt);
    return std::nullopt;
}

bool ArchiveEncoder::add(const ArchivedRide& ride) {
    if (auto reason = unwritableDate(ride)) {
        m_skipped.push_back(std::move(*reason));
        return false;
    }
    requireFiniteNumbers(ride, m_count);
    if (m_count > 0) m_buffer += ',';
    writeRide(m_buffer, ride);
    ++m_count;
    flushIfFull();
    return true;
}

std::size_t ArchiveEncoder::finish() {
    m_buffer += "],\"version\":";
    m_buffer += std::to_string(m_version);
    m_buffer += '}';
    m_written += m_buffer.size();
    m_sink(m_buffer);
    m_buffer.clear();
    return m_written;
}

void ArchiveEncoder::flushIfFull() {
    if (m_buffer.size() < kChunkSize) return;
    m_written += m_buffer.size();
    m_sink(m_buffer);
    m_buffer.clear();
}

}  // namespace vantrel
