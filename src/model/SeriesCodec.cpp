#include "model/SeriesCodec.h"

#include <dlfcn.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "model/JsonWriter.h"
#include "model/SimdjsonSupport.h"

namespace vantrel {

namespace {

constexpr std::size_t kPackThreshold = 128;
constexpr std::uint8_t kPackedMarker = 0x00;
// ISA-L's level 1 packs the series about two and a half times faster than libdeflate's fastest
// level and about twenty times faster than zlib's default did, at a slightly smaller output
// than either (bench/codec_bench.cpp measures every level of both). libdeflate stays the
// inflater and the packer of last resort.
constexpr std::uint32_t kIsalLevel = 1;
constexpr std::size_t kIsalLevelBufferSize = ISAL_DEF_LVL1_DEFAULT;
constexpr int kFallbackCompressionLevel = 1;
// Series JSON inflates to three to four times its packed size. libdeflate cannot resume, so
// an output that does not fit is inflated again from the start: a first buffer of eight times
// the input holds nearly every series in one pass, and its pages beyond the output are never
// touched. A larger output doubles the buffer, never past the cap.
constexpr std::size_t kFirstGuessRatio = 8;
constexpr std::size_t kSmallestBuffer = 4096;
// About the JSON length of one sample, to reserve the text once.
constexpr std::size_t kRoutePointBytes = 150;
constexpr std::size_t kTimedSampleBytes = 80;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

// One of each per thread: allocating a compressor costs more than packing a small series.
libdeflate_compressor* threadCompressor() {
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kFallbackCompressionLevel));
    return compressor.get();
}

libdeflate_decompressor* threadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

/// Bytes left uninitialised when it grows: filling a buffer that is about to be written whole
/// with zeros first would cost one more pass over it.
class ScratchBuffer {
  public:
    /// Keeps the content up to the smaller of the old and new size.
    void resize(std::size_t size) {
        if (size > m_capacity) {
            auto larger = std::make_unique_for_overwrite<char[]>(size);
            if (m_size > 0) std::memcpy(larger.get(), m_data.get(), m_size);
            m_data = std::move(larger);
            m_capacity = size;
        }
        m_size = size;
    }
    char* data() { return m_data.get(); }
    std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(m_data.get()); }
    std::size_t capacity() const { return m_capacity; }
    std::size_t size() const { return m_size; }

  private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

/// What one thread keeps between series: a fresh buffer of megabytes for every series would
/// fault in each of its pages again. A day of one-second samples fits; anything larger is
/// given back after use, so an idle thread holds at most a few such buffers.
constexpr std::size_t kKeptScratchSize = std::size_t{16} << 20;

template <typename Buffer>
void releaseIfLarge(Buffer& buffer) {
    if (buffer.capacity() > kKeptScratchSize) buffer = Buffer();
}

/// Worst case of a raw DEFLATE stream of `size` bytes: stored blocks of at most 64 KiB add five
/// bytes each; the rest covers a last block's header and the bit padding.
std::size_t deflateBound(std::size_t size) {
    return size + size / 8192 * 5 + 1024;
}

/// The two ISA-L functions the packer calls, resolved from the shared library on the first
/// pack: only imports pack series, and linking it would load it at the start of every command.
struct IsalFunctions {
    decltype(&::isal_deflate_stateless_init) init = nullptr;
    decltype(&::isal_deflate_stateless) deflate = nullptr;
};

/// Null when the library or one of its functions cannot be found: libdeflate packs instead.
const IsalFunctions* isal() {
    static const IsalFunctions functions = [] {
        IsalFunctions loaded;
        // Never closed: the functions stay in use until the process ends.
        if (void* library = dlopen("libisal.so.2", RTLD_NOW | RTLD_LOCAL)) {
            loaded.init = reinterpret_cast<decltype(loaded.init)>(
                dlsym(library, "isal_deflate_stateless_init"));
            loaded.deflate = reinterpret_cast<decltype(loaded.deflate)>(
                dlsym(library, "isal_deflate_stateless"));
        }
        return loaded;
    }();
    return functions.init && functions.deflate ? &functions : nullptr;
}

/// Packs `size` bytes at `data` into `out` with ISA-L in one call; the bytes written, or 0 when
/// they did not fit or the library is missing or failed.
std::size_t isalDeflate(const std::uint8_t* data, std::size_t size, ScratchBuffer& out) {
    const IsalFunctions* library = isal();
    if (!library) return 0;
    thread_local std::unique_ptr<std::uint8_t[]> levelBuffer =
        std::make_unique_for_overwrite<std::uint8_t[]>(kIsalLevelBufferSize);
    isal_zstream stream;
    library->init(&stream);
    stream.level = kIsalLevel;
    stream.level_buf = levelBuffer.get();
    stream.level_buf_size = static_cast<std::uint32_t>(kIsalLevelBufferSize);
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.end_of_stream = 1;
    stream.flush = NO_FLUSH;
    stream.next_in = const_cast<std::uint8_t*>(data);
    stream.avail_in = static_cast<std::uint32_t>(size);
    stream.next_out = out.bytes();
    stream.avail_out = static_cast<std::uint32_t>(out.size());
    if (library->deflate(&stream) != COMP_OK || stream.avail_in != 0) return 0;
    return stream.total_out;
}

std::size_t libdeflateDeflate(const std::uint8_t* data, std::size_t size, ScratchBuffer& out) {
    libdeflate_compressor* compressor = threadCompressor();
    if (!compressor) return 0;
    out.resize(0);
    out.resize(libdeflate_deflate_compress_bound(compressor, size));
    return libdeflate_deflate_compress(compressor, data, size, out.bytes(), out.size());
}

/// 0x00 followed by the raw DEFLATE stream of `size` bytes at `data`, sized exactly (the
/// record keeps it); absent when the compressor fails.
std::optional<Bytes> deflateRaw(const std::uint8_t* data, std::size_t size) {
    // ISA-L takes 32-bit lengths; the cap on a series keeps every input below them.
    static_assert(kMaximumInflatedSeriesSize < std::size_t{1} << 31);
    if (size > kMaximumInflatedSeriesSize) return std::nullopt;
    thread_local ScratchBuffer scratch;
    scratch.resize(0);
    scratch.resize(deflateBound(size));
    std::size_t written = isalDeflate(data, size, scratch);
    if (written == 0) written = libdeflateDeflate(data, size, scratch);
    std::optional<Bytes> packed;
    if (written > 0) {
        packed.emplace(1 + written);
        (*packed)[0] = kPackedMarker;
        std::memcpy(packed->data() + 1, scratch.bytes(), written);
    }
    releaseIfLarge(scratch);
    return packed;
}

/// Inflates one raw DEFLATE stream into `output`, leaving `padding` writable bytes after the
/// content (simdjson reads past the end). The buffer starts at a few times the input and
/// doubles while the output does not fit, so it never holds more than twice the output (or the
/// first guess); a stream inflating past `limit` fails.
template <typename Buffer>
bool inflateRaw(const std::uint8_t* data, std::size_t size, std::size_t limit, Buffer& output,
                std::size_t padding) {
    libdeflate_decompressor* decompressor = threadDecompressor();
    if (!decompressor || size > limit) return false;
    std::size_t capacity = std::min(std::max(size * kFirstGuessRatio, kSmallestBuffer), limit);
    for (;;) {
        output.resize(0);  // nothing to keep: each attempt inflates from the start
        output.resize(capacity + padding);
        std::size_t produced = 0;
        libdeflate_result result = libdeflate_deflate_decompress(
            decompressor, data, size, output.data(), capacity, &produced);
        if (result == LIBDEFLATE_SUCCESS) {
            output.resize(produced + padding);
            return true;
        }
        // Every attempt starts over, so the old buffer goes before the larger one comes.
        output = Buffer();
        if (result != LIBDEFLATE_INSUFFICIENT_SPACE || capacity == limit) return false;
        capacity = capacity > limit / 2 ? limit : capacity * 2;
    }
}

void appendUuid(std::string& out, const Uuid& id) {
    out.push_back('"');
    id.appendTo(out);
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
bool writeList(const std::vector<Sample>& samples, std::size_t bytesPerSample, std::string& out) {
    out.reserve(out.size() + 2 + samples.size() * bytesPerSample);
    out.push_back('[');
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i > 0) out.push_back(',');
        if (!appendSample(out, samples[i])) return false;
    }
    out.push_back(']');
    return true;
}

template <typename Sample>
std::optional<Bytes> encodeList(const std::vector<Sample>& samples, std::size_t bytesPerSample) {
    std::string out;
    if (!writeList(samples, bytesPerSample, out)) return std::nullopt;
    return Bytes(out.begin(), out.end());
}

/// As `compressSeriesData` on the bytes of `text`, without copying them first.
Bytes compressText(const std::string& text) {
    auto data = reinterpret_cast<const std::uint8_t*>(text.data());
    if (text.size() >= kPackThreshold) {
        if (auto packed = deflateRaw(data, text.size())) return std::move(*packed);
    }
    return Bytes(data, data + text.size());
}

/// Encodes into text this thread reuses and packs straight from it: the plain JSON of a long
/// route is megabytes that nobody keeps.
template <typename Sample>
std::optional<Bytes> packList(const std::vector<Sample>& samples, std::size_t bytesPerSample) {
    if (samples.empty()) return std::nullopt;
    thread_local std::string json;
    json.clear();
    std::optional<Bytes> packed;
    if (writeList(samples, bytesPerSample, json)) packed = compressText(json);
    releaseIfLarge(json);
    return packed;
}

// ---- decoding ----------------------------------------------------------------------------

using simdjson::ondemand::object;

// Any missing key, wrong type or unreadable value throws; the caller turns that into absent.
struct DecodeFailure {};

// Identifiers and keys are read from the document's own text where they hold no escapes,
// sparing a copy per sample; an escaped one takes simdjson's unescaping path.
Uuid readUuid(simdjson::ondemand::value value) {
    std::string_view token = value.raw_json_token();
    if (token.size() == 38 && token.front() == '"' && token.back() == '"') {
        if (auto parsed = Uuid::parse(token.substr(1, 36))) return *parsed;
    }
    auto parsed = Uuid::parse(value.get_string().value());
    if (!parsed) throw DecodeFailure{};
    return *parsed;
}

std::string_view keyOf(simdjson::simdjson_result<simdjson::ondemand::field>& field) {
    const char* start = field.key().value().raw();
    for (const char* end = start;; ++end) {
        if (*end == '"') return std::string_view(start, static_cast<std::size_t>(end - start));
        if (*end == '\\') return field.unescaped_key().value();
    }
}

double readNumber(simdjson::ondemand::value value) {
    return value.get_double().value();
}

CodableCoordinate readCoordinate(object coordinate) {
    CodableCoordinate result;
    bool haveLatitude = false, haveLongitude = false;
    for (auto field : coordinate) {
        std::string_view key = keyOf(field);
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
        std::string_view key = keyOf(field);
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
        std::string_view key = keyOf(field);
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

/// The length of the shortest JSON element with every key: a 36-character id, numbers of one
/// digit.
template <typename Sample>
struct ShortestElement;
template <>
struct ShortestElement<RoutePoint> {
    static constexpr std::size_t bytes = 114;
};
template <>
struct ShortestElement<HeartRateSample> {
    static constexpr std::size_t bytes = 67;
};
template <>
struct ShortestElement<PowerSample> {
    static constexpr std::size_t bytes = 69;
};

template <typename Sample>
std::optional<std::vector<Sample>> parseList(const char* data, std::size_t size) {
    thread_local simdjson::ondemand::parser parser;
    std::vector<Sample> samples;
    // Every element holds all its keys, so the text bounds the count: one allocation, never
    // a regrowth copying the samples read so far.
    samples.reserve(size / ShortestElement<Sample>::bytes + 1);
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
    constexpr std::size_t padding = simdjson::SIMDJSON_PADDING;
    thread_local ScratchBuffer buffer;
    buffer.resize(0);
    if ((*bytes)[0] == kPackedMarker) {
        if (bytes->size() < 2 || !inflateRaw(bytes->data() + 1, bytes->size() - 1,
                                             kMaximumInflatedSeriesSize, buffer, padding))
            return std::nullopt;
    } else {
        buffer.resize(bytes->size() + padding);
        std::memcpy(buffer.data(), bytes->data(), bytes->size());
    }
    auto samples = parseList<Sample>(buffer.data(), buffer.size() - padding);
    releaseIfLarge(buffer);
    return samples;
}

}  // namespace

Bytes compressSeriesData(const Bytes& bytes) {
    if (!bytes.empty() && bytes[0] == kPackedMarker) return bytes;
    if (bytes.size() < kPackThreshold) return bytes;
    return deflateRaw(bytes.data(), bytes.size()).value_or(bytes);
}

std::optional<Bytes> decompressSeriesData(const Bytes& bytes) {
    return decompressSeriesData(bytes, kMaximumInflatedSeriesSize);
}

std::optional<Bytes> decompressSeriesData(const Bytes& bytes, std::size_t maximumSize) {
    if (bytes.size() < 2) return std::nullopt;
    thread_local ScratchBuffer scratch;
    std::optional<Bytes> inflated;
    if (inflateRaw(bytes.data() + 1, bytes.size() - 1, maximumSize, scratch, 0))
        inflated.emplace(scratch.bytes(), scratch.bytes() + scratch.size());
    releaseIfLarge(scratch);
    return inflated;
}

std::optional<Bytes> encodeSeriesJSON(const std::vector<RoutePoint>& points) {
    return encodeList(points, kRoutePointBytes);
}

std::optional<Bytes> encodeSeriesJSON(const std::vector<HeartRateSample>& samples) {
    return encodeList(samples, kTimedSampleBytes);
}

std::optional<Bytes> encodeSeriesJSON(const std::vector<PowerSample>& samples) {
    return encodeList(samples, kTimedSampleBytes);
}

std::optional<Bytes> packSeries(const std::vector<RoutePoint>& points) {
    return packList(points, kRoutePointBytes);
}

std::optional<Bytes> packSeries(const std::vector<HeartRateSample>& samples) {
    return packList(samples, kTimedSampleBytes);
}

std::optional<Bytes> packSeries(const std::vector<PowerSample>& samples) {
    return packList(samples, kTimedSampleBytes);
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
