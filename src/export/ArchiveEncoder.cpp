#include "export/ArchiveEncoder.h"

#include <charconv>
#include <cmath>

#include "export/ArchiveError.h"
#include "export/Utf8Text.h"
#include "model/Base64.h"
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

void requireFinite(double value, std::size_t index, const char* key) {
    if (!std::isfinite(value)) throw ArchiveError::invalidNumber(ridePath(index, key), value);
}

void requireFiniteNumbers(const ArchivedRide& ride, std::size_t index) {
    requireFinite(ride.date, index, "date");
    requireFinite(ride.duration, index, "duration");
    requireFinite(ride.distance, index, "distance");
    requireFinite(ride.elevationGain, index, "elevationGain");
    requireFinite(ride.averageHeartRate, index, "averageHeartRate");
    requireFinite(ride.maxHeartRate, index, "maxHeartRate");
    requireFinite(ride.calories, index, "calories");
    requireFinite(ride.activeTime, index, "activeTime");
    if (ride.deletedAt) requireFinite(*ride.deletedAt, index, "deletedAt");
    if (ride.startElevation) requireFinite(*ride.startElevation, index, "startElevation");
}

/// Writes the members of one object into the document text; optional members are left out when
/// absent. Numbers are known to be finite here.
class MemberWriter {
  public:
    explicit MemberWriter(std::string& out) : m_out(out) {}

    void begin() { m_out += '{'; }
    void end() { m_out += '}'; }

    void number(const char* key, double value) {
        this->key(key);
        JsonWriter::appendNumber(m_out, value);
    }
    void date(const char* key, Date value) {
        this->key(key);
        JsonWriter::appendString(m_out, formatISO8601(value));
    }
    void uuid(const char* key, const Uuid& value) {
        this->key(key);
        JsonWriter::appendString(m_out, value.toString());
    }
    void text(const char* key, const std::optional<std::string>& value) {
        if (!value) return;
        this->key(key);
        appendText(m_out, *value);
    }
    void bytes(const char* key, const std::optional<Bytes>& value) {
        if (!value) return;
        this->key(key);
        m_out += '"';
        m_out += base64Encode(*value);
        m_out += '"';
    }
    void number(const char* key, const std::optional<double>& value) {
        if (value) number(key, *value);
    }
    void date(const char* key, const std::optional<Date>& value) {
        if (value) date(key, *value);
    }
    void uuid(const char* key, const std::optional<Uuid>& value) {
        if (value) uuid(key, *value);
    }

  private:
    void key(const char* name) {
        if (m_hasMembers) m_out += ',';
        m_hasMembers = true;
        m_out += '"';
        m_out += name;
        m_out += "\":";
    }

    std::string& m_out;
    bool m_hasMembers = false;
};

// Members in ascending key order, as the format requires.
void writeRide(std::string& out, const ArchivedRide& ride) {
    MemberWriter m(out);
    m.begin();
    m.number("activeTime", ride.activeTime);
    m.text("activityType", ride.activityType);
    m.number("averageHeartRate", ride.averageHeartRate);
    m.number("calories", ride.calories);
    m.text("city", ride.city);
    m.date("date", ride.date);
    m.date("deletedAt", ride.deletedAt);
    m.number("distance", ride.distance);
    m.number("duration", ride.duration);
    m.number("elevationGain", ride.elevationGain);
    m.bytes("endWeatherData", ride.endWeatherData);
    m.uuid("healthKitUUID", ride.healthKitUUID);
    m.bytes("heartRateData", ride.heartRateData);
    m.text("importSource", ride.importSource);
    m.number("maxHeartRate", ride.maxHeartRate);
    m.text("notes", ride.notes);
    m.uuid("rideID", ride.rideID);
    m.bytes("routeData", ride.routeData);
    m.number("startElevation", ride.startElevation);
    m.bytes("startWeatherData", ride.startWeatherData);
    m.text("stravaActivityId", ride.stravaActivityId);
    m.end();
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
