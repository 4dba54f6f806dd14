#include "import/Gunzip.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "import/RideImportError.h"

namespace vantrel {

namespace {

constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kTrailerSize = 8;
constexpr std::uint8_t kFlagHeaderCRC = 0x02;
constexpr std::uint8_t kFlagExtra = 0x04;
constexpr std::uint8_t kFlagName = 0x08;
constexpr std::uint8_t kFlagComment = 0x10;

// Past a zero-terminated field, or past the end when the terminator is missing.
std::size_t skipZeroTerminated(const std::uint8_t* data, std::size_t size, std::size_t pos) {
    while (pos < size && data[pos] != 0) ++pos;
    return pos + 1;
}

// Offset of the DEFLATE payload; may lie beyond the data when the header lies.
std::size_t payloadOffset(const std::uint8_t* data, std::size_t size) {
    std::uint8_t flags = data[3];
    std::size_t pos = kHeaderSize;
    if (flags & kFlagExtra) pos = 12 + data[10] + 256 * std::size_t{data[11]};
    if (flags & kFlagName) pos = skipZeroTerminated(data, size, pos);
    if (flags & kFlagComment) pos = skipZeroTerminated(data, size, pos);
    if (flags & kFlagHeaderCRC) pos += 2;
    return pos;
}

std::size_t outputCapacity(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* t = data + size - 4;
    std::uint32_t isize = t[0] | t[1] << 8 | t[2] << 16 | std::uint32_t{t[3]} << 24;
    if (isize == 0) return kGunzipUnknownSizeOutput;
    return std::min<std::size_t>(isize, kGunzipMaximumOutput);
}

// Raw DEFLATE in one call into a fixed buffer: the number of bytes written, 0 on failure.
// Stops at the end of the stream or when the buffer is full.
std::size_t inflateInto(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                        std::size_t capacity) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return 0;
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = static_cast<uInt>(std::min<std::size_t>(inputSize, UINT_MAX));
    stream.next_out = output;
    stream.avail_out = static_cast<uInt>(capacity);
    int status = inflate(&stream, Z_FINISH);
    std::size_t written = stream.total_out;
    inflateEnd(&stream);
    bool full = status == Z_BUF_ERROR && stream.avail_out == 0;
    return status == Z_STREAM_END || full ? written : 0;
}

}  // namespace

Bytes gunzip(const Bytes& bytes) {
    return gunzip(bytes.data(), bytes.size());
}

Bytes gunzip(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize + kTrailerSize) {
        throw RideImportError::decompressFailed("File too small to be gzip");
    }
    if (data[0] != 0x1F || data[1] != 0x8B)
        throw RideImportError::decompressFailed("Not a gzip file");
    std::size_t pos = payloadOffset(data, size);
    if (pos >= size - kTrailerSize) throw RideImportError::decompressFailed("Truncated gzip data");
    std::size_t capacity = outputCapacity(data, size);
    // Left uninitialised: pages the stream never reaches are never touched.
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[capacity]);
    std::size_t written =
        inflateInto(data + pos, size - kTrailerSize - pos, buffer.get(), capacity);
    if (written == 0) throw RideImportError::decompressFailed("Decompression produced no output");
    return Bytes(buffer.get(), buffer.get() + written);
}

}  // namespace vantrel
