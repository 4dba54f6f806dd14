#include <gtest/gtest.h>
#include <zlib.h>

#include "import/Gunzip.h"
#include "import/RideImportError.h"

namespace vantrel {
namespace {

Bytes rawDeflate(const Bytes& input) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes output(deflateBound(&stream, input.size()));
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    deflate(&stream, Z_FINISH);
    output.resize(stream.total_out);
    deflateEnd(&stream);
    return output;
}

void appendLittleEndian(Bytes& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

struct GzipOptions {
    std::uint8_t flags = 0;
    Bytes headerFields;
    std::optional<std::uint32_t> storedSize;
};

Bytes gzipOf(const Bytes& content, const GzipOptions& options = {}) {
    Bytes payload = rawDeflate(content);
    Bytes bytes;
    bytes.reserve(10 + options.headerFields.size() + payload.size() + 8);
    for (std::uint8_t byte : {0x1F, 0x8B, 8, int(options.flags), 0, 0, 0, 0, 0, 3})
        bytes.push_back(static_cast<std::uint8_t>(byte));
    bytes.insert(bytes.end(), options.headerFields.begin(), options.headerFields.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    appendLittleEndian(bytes, static_cast<std::uint32_t>(crc32(0, content.data(), content.size())));
    appendLittleEndian(bytes,
                       options.storedSize.value_or(static_cast<std::uint32_t>(content.size())));
    return bytes;
}

Bytes sampleContent(std::size_t size) {
    Bytes content(size);
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<std::uint8_t>(i * 7 % 251);
    return content;
}

std::string failureOf(const Bytes& bytes) {
    try {
        gunzip(bytes);
    } catch (const RideImportError& error) {
        EXPECT_EQ(error.kind(), RideImportError::Kind::decompressFailed);
        return error.what();
    }
    return "no error";
}

TEST(Gunzip, HeaderChecksComeInOrder) {
    EXPECT_EQ(failureOf(Bytes(17, 0x1F)), "Failed to decompress file: File too small to be gzip");
    Bytes notGzip = gzipOf(sampleContent(100));
    notGzip[1] = 0x8C;
    EXPECT_EQ(failureOf(notGzip), "Failed to decompress file: Not a gzip file");
    Bytes headerAndTrailer = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(failureOf(headerAndTrailer), "Failed to decompress file: Truncated gzip data");
    EXPECT_EQ(failureOf(gzipOf({})), "Failed to decompress file: Decompression produced no output");
    EXPECT_EQ(gzipOf({}).size(), 20u);
}

TEST(Gunzip, SkipsOptionalHeaderFields) {
    Bytes content = sampleContent(5000);
    Bytes fields = {4, 0, 'a', 'b', 'c', 'd'};  // FEXTRA of 4 bytes
    for (char c : std::string("ride.gpx")) fields.push_back(static_cast<std::uint8_t>(c));
    fields.push_back(0);
    for (char c : std::string("a comment")) fields.push_back(static_cast<std::uint8_t>(c));
    fields.push_back(0);
    fields.push_back(0xAB);  // header CRC, not verified
    fields.push_back(0xCD);
    EXPECT_EQ(gunzip(gzipOf(content, {0x1E, fields, std::nullopt})), content);
    EXPECT_EQ(gunzip(gzipOf(content, {0x08, bytesOf(std::string("x\0", 2)), std::nullopt})),
              content);
}

TEST(Gunzip, ExtraFieldPastTheEndIsTruncated) {
    Bytes bytes = gzipOf(sampleContent(100), {0x04, {0xFF, 0xFF}, std::nullopt});
    EXPECT_EQ(failureOf(bytes), "Failed to decompress file: Truncated gzip data");
}

TEST(Gunzip, TrailerChecksumIsNotVerified) {
    Bytes content = sampleContent(3000);
    Bytes bytes = gzipOf(content);
    bytes[bytes.size() - 8] ^= 0xFF;
    EXPECT_EQ(gunzip(bytes), content);
}

TEST(Gunzip, StoredSizeSizesTheOutput) {
    Bytes content = sampleContent(5000);
    Bytes shortened = gunzip(gzipOf(content, {0, {}, 1000}));
    EXPECT_EQ(shortened, Bytes(content.begin(), content.begin() + 1000));
    EXPECT_EQ(gunzip(gzipOf(content, {0, {}, 0})), content);
    Bytes large(kGunzipUnknownSizeOutput + 500, 'x');
    EXPECT_EQ(gunzip(gzipOf(large, {0, {}, 0})).size(), kGunzipUnknownSizeOutput);
}

TEST(Gunzip, ContentBeyondTheCapIsCutOff) {
    Bytes huge(kGunzipMaximumOutput + 1000, 'a');
    Bytes bytes = gzipOf(huge, {0, {}, 0xFFFFFFFF});
    huge.clear();
    huge.shrink_to_fit();
    EXPECT_EQ(gunzip(bytes).size(), kGunzipMaximumOutput);
}

TEST(Gunzip, OnlyTheFirstMemberIsDecoded) {
    Bytes first = sampleContent(1000);
    Bytes bytes = gzipOf(first);
    Bytes second = gzipOf(bytesOf("second member"));
    bytes.insert(bytes.end(), second.begin(), second.end());
    // The last four bytes now give the second member's size; the first member still decodes.
    Bytes result = gunzip(bytes);
    EXPECT_EQ(result, Bytes(first.begin(), first.begin() + 13));
}

TEST(Gunzip, CorruptOrCutPayloadFails) {
    Bytes bytes = gzipOf(sampleContent(5000));
    Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
    cut.insert(cut.end(), bytes.end() - 8, bytes.end());
    EXPECT_EQ(failureOf(cut), "Failed to decompress file: Decompression produced no output");
    Bytes garbage = bytes;
    garbage[10] = 0xFF;  // reserved block type 3
    EXPECT_EQ(failureOf(garbage), "Failed to decompress file: Decompression produced no output");
}

}  // namespace
}  // namespace vantrel
