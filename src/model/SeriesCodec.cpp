#include "model/SeriesCodec.h"

#include <simdjson.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "model/JsonWriter.h"
#include "model/SimdjsonSupport.h"

namespace vantrel {

namespace {

constexpr std::size_t kPackThreshold = 128;
constexpr std::uint8_t kPackedMarker = 0x00;
// A stored series inflating beyond this is refused rather than exhausting memory; a day of
// 1 Hz samples inflates to well under a tenth of it.
constexpr std::size_t kMaxInflatedSize = std::size_t{1} << 30;

bool deflateRaw(const Bytes& input, Bytes& output) {
    if (input.size() > kMaxInflatedSize) return false;
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return false;
    output.assign(1 + deflateBound(&stream, static_cast<uLong>(input.size())), kPackedMarker);
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = output.data() + 1;
    stream.avail_out = static_cast<uInt>(output.size() - 1);
    int status = deflate(&stream, Z_FINISH);
    output.resize(1 + stream.total_out);
    deflateEnd(&stream);
    return status == Z_STREAM_END;
}

// Inflates into a buffer that keeps simdjson's padding after the content.
bool inflateRaw(const std::uint8_t* data, std::size_t size, std::string& output) {
    if (size > kMaxInflatedSize) return false;
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    std::size_t produced = 0;
    output.resize(std::max<std::size_t>(size * 4, 4096));
    int status = Z_OK;
    while (status == Z_OK) {
        if (produced == output.size()) {
            if (output.size() >= kMaxInflatedSize) break;
            output.resize(output.size() * 2);
        }
        stream.next_out = reinterpret_cast<Bytef*>(output.data() + produced);
        stream.avail_out = static_cast<uInt>(output.size() - produced);
        status = inflate(&stream, Z_NO_FLUSH);
        produced = stream.total_out;
    }
    inflateEnd(&stream);
    output.resize(produced);
    return status == Z_STREAM_END;
}

void appendUuid(std::string& out, const Uuid& id) {
    out.push_back('"');
    out += id.toString();
    out.push_back('"');
}

bool appendField(std::string& out, const char* keyAndColon, double number) {
    out += keyAndColon;
    return JsonWriter::appendNumber(out, number);
}

bool appendSample(std::string& out, const RoutePoint& point) {
    out += "{\"id\":";
    appendUuid(out, point.id);
    bool ok = appendField(out, ",\"coordinate\":{\"latitude\":", point.coordinate.latitude) &&
              appendField(out, ",\"longitude\":", point.coordinate.longitude) &&
              appendField(out, "},\"altitude\":", point.altitude) &&
              appendField(out, ",\"timestamp\":", point.timestamp);
    out.push_back('}');
    return ok;
}

bool appendSample(std::string& out, const HeartRateSample& sample) {
    out += "{\"id\":";
    appendUuid(out, sample.id);
    bool ok = appendField(out, ",\"timestamp\":", sample.timestamp) &&
              appendField(out, ",\"bpm\":", sample.bpm);
    out.push_back('}');
    return ok;
}

bool appendSample(std::string& out, const PowerSample& sample) {
    out += "{\"id\":";
    appendUuid(out, sample.id);
    bool ok = appendField(out, ",\"timestamp\":", sample.timestamp) &&
              appendField(out, ",\"watts\":", sample.watts);
    out.push_back('}');
    return ok;
}

template <typename Sample>
std::optional<Bytes> encodeList(const std::vector<Sample>& samples, std::size_t bytesPerSample) {
    std::string out;
    out.reserve(2 + samples.size() * bytesPerSample);
    out.push_back('[');
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i > 0) out.push_back(',');
        if (!appendSample(out, samples[i])) return std::nullopt;
    }
    out.push_back(']');
    return Bytes(out.begin(), out.end());
}

template <typename Sample>
std::optional<Bytes> packList(const std::vector<Sample>& samples) {
    if (samples.empty()) return std::nullopt;
    auto json = encodeSeriesJSON(samples);
    if (!json) return std::nullopt;
    return compressSeriesData(*json);
}

// ---- decoding ----------------------------------------------------------------------------

using simdjson::ondemand::object;

// Any missing key, wrong type or unreadable value throws; the caller turns that into absent.
struct DecodeFailure {};

Uuid readUuid(simdjson::ondemand::value value) {
    auto parsed = Uuid::parse(value.get_string().value());
    if (!parsed) throw DecodeFailure{};
    return *parsed;
}

double readNumber(simdjson::ondemand::value value) {
    return value.get_double().value();
}

CodableCoordinate readCoordinate(object coordinate) {
    CodableCoordinate result;
    bool haveLatitude = false, haveLongitude = false;
    for (auto field : coordinate) {
        std::string_view key = field.unescaped_key().value();
        if (key == "latitude") {
            result.latitude = readNumber(field.value());
            haveLatitude = true;
        } else if (key == "longitude") {
            result.longitude = readNumber(field.value());
            haveLongitude = true;
        }
    }
    if (!haveLatitude || !haveLongitude) throw DecodeFailure{};
    return result;
}

void readSample(object element, RoutePoint& point) {
    unsigned found = 0;
    for (auto field : element) {
        std::string_view key = field.unescaped_key().value();
        if (key == "id") {
            point.id = readUuid(field.value());
            found |= 1;
        } else if (key == "coordinate") {
            point.coordinate = readCoordinate(field.value().get_object().value());
            found |= 2;
        } else if (key == "altitude") {
            point.altitude = readNumber(field.value());
            found |= 4;
        } else if (key == "timestamp") {
            point.timestamp = readNumber(field.value());
            found |= 8;
        }
    }
    if (found != 15) throw DecodeFailure{};
}

template <typename Sample>
void readTimedSample(object element, Sample& sample, std::string_view valueKey, double& target) {
    unsigned found = 0;
    for (auto field : element) {
        std::string_view key = field.unescaped_key().value();
        if (key == "id") {
            sample.id = readUuid(field.value());
            found |= 1;
        } else if (key == "timestamp") {
            sample.timestamp = readNumber(field.value());
            found |= 2;
        } else if (key == valueKey) {
            target = readNumber(field.value());
            found |= 4;
        }
    }
    if (found != 7) throw DecodeFailure{};
}

void readSample(object element, HeartRateSample& sample) {
    readTimedSample(element, sample, "bpm", sample.bpm);
}

void readSample(object element, PowerSample& sample) {
    readTimedSample(element, sample, "watts", sample.watts);
}

template <typename Sample>
std::optional<std::vector<Sample>> parseList(const char* data, std::size_t size) {
    thread_local simdjson::ondemand::parser parser;
    std::vector<Sample> samples;
    try {
        simdjson::ondemand::document document =
            parser.iterate(data, size, size + simdjson::SIMDJSON_PADDING);
        for (auto element : document.get_array()) {
            Sample sample;
            readSample(element.get_object().value(), sample);
            samples.push_back(sample);
        }
        if (documentHasMore(document)) return std::nullopt;
    } catch (const simdjson::simdjson_error&) {
        return std::nullopt;
    } catch (const DecodeFailure&) {
        return std::nullopt;
    }
    return samples;
}

template <typename Sample>
std::optional<std::vector<Sample>> decodeList(const std::optional<Bytes>& bytes) {
    if (!bytes || bytes->empty()) return std::nullopt;
    std::string buffer;
    if ((*bytes)[0] == kPackedMarker) {
        if (bytes->size() < 2 || !inflateRaw(bytes->data() + 1, bytes->size() - 1, buffer))
            return std::nullopt;
    } else {
        buffer.assign(bytes->begin(), bytes->end());
    }
    std::size_t size = buffer.size();
    buffer.resize(size + simdjson::SIMDJSON_PADDING);
    return parseList<Sample>(buffer.data(), size);
}

}  // namespace

Bytes compressSeriesData(const Bytes& bytes) {
    if (!bytes.empty() && bytes[0] == kPackedMarker) return bytes;
    if (bytes.size() < kPackThreshold) return bytes;
    Bytes packed;
    if (!deflateRaw(bytes, packed)) return bytes;
    return packed;
}

std::optional<Bytes> decompressSeriesData(const Bytes& bytes) {
    if (bytes.size() < 2) return std::nullopt;
    std::string inflated;
    if (!inflateRaw(bytes.data() + 1, bytes.size() - 1, inflated)) return std::nullopt;
    return Bytes(inflated.begin(), inflated.end());
}

std::optional<Bytes> encodeSeriesJSON(const std::vector<RoutePoint>& points) {
    return encodeList(points, 150);
}

std::optional<Bytes> encodeSeriesJSON(const std::vector<HeartRateSample>& samples) {
    return encodeList(samples, 80);
}

std::optional<Bytes> encodeSeriesJSON(const std::vector<PowerSample>& samples) {
    return encodeList(samples, 80);
}

std::optional<Bytes> packSeries(const std::vector<RoutePoint>& points) {
    return packList(points);
}

std::optional<Bytes> packSeries(const std::vector<HeartRateSample>& samples) {
    return packList(samples);
}

std::optional<Bytes> packSeries(const std::vector<PowerSample>& samples) {
    return packList(samples);
}

std::optional<std::vector<RoutePoint>> decodeRoutePoints(const std::optional<Bytes>& bytes) {
    return decodeList<RoutePoint>(bytes);
}

std::optional<std::vector<HeartRateSample>> decodeHeartRateSamples(
    const std::optional<Bytes>& bytes) {
    return decodeList<HeartRateSample>(bytes);
}

std::optional<std::vector<PowerSample>> decodePowerSamples(const std::optional<Bytes>& bytes) {
    return decodeList<PowerSample>(bytes);
}

}  // namespace vantrel
