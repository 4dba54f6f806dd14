#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/Date.h"
#include "model/SeriesCodec.h"

namespace vantrel {
namespace {

const Uuid kFixedID = *Uuid::parse("0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B");

HeartRateSample heartRate(double timestamp, double bpm) {
    return {kFixedID, timestamp, bpm};
}

RoutePoint routePoint(double latitude, double longitude, double altitude, double timestamp) {
    return {kFixedID, {latitude, longitude}, altitude, timestamp};
}

std::vector<RoutePoint> route(int count) {
    std::vector<RoutePoint> points;
    for (int i = 0; i < count; ++i)
        points.push_back(
            {Uuid::random(), {47.1 + i * 1e-5, 8.5 - i * 1e-5}, 412.3 + i * 0.1, 7e8 + i});
    return points;
}

TEST(SeriesCodec, RoutePointJSONHasExactlyTheFieldNames) {
    auto json =
        encodeSeriesJSON(std::vector<RoutePoint>{routePoint(47.1, 8.5, 412.3, 736237815.25)});
    ASSERT_TRUE(json);
    EXPECT_EQ(textOf(*json),
              "[{\"id\":\"0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\",\"coordinate\":{\"latitude\":47.1,"
              "\"longitude\":8.5},\"altitude\":412.3,\"timestamp\":736237815.25}]");
}

TEST(SeriesCodec, TimestampsAreSecondsSince2001) {
    EXPECT_EQ(dateFromUnix(978307200.0), 0.0);
    EXPECT_EQ(dateFromUnix(1577836800.0), 599529600.0);    // 2020-01-01T00:00:00Z
    EXPECT_EQ(dateFromUnix(1714545015.25), 736237815.25);  // 2024-05-01T06:30:15.250Z
}

TEST(SeriesCodec, PacksFrom128BytesOnAndReadsBothForms) {
    std::vector<HeartRateSample> one{heartRate(1, 60)};
    std::vector<HeartRateSample> two{heartRate(1, 60), heartRate(2, 61)};
    auto plain = *encodeSeriesJSON(two);
    ASSERT_GE(plain.size(), 128u);
    Bytes at127(plain.begin(), plain.begin() + 127);
    Bytes at128(plain.begin(), plain.begin() + 128);
    EXPECT_EQ(compressSeriesData(at127), at127);
    auto packed = compressSeriesData(at128);
    EXPECT_EQ(packed[0], 0x00);
    EXPECT_EQ(decompressSeriesData(packed), at128);

    auto storedOne = packSeries(one);
    ASSERT_LT(storedOne->size(), 128u);
    EXPECT_EQ(storedOne, encodeSeriesJSON(one));
    EXPECT_EQ(decodeHeartRateSamples(storedOne), one);
    auto storedTwo = packSeries(two);
    EXPECT_EQ((*storedTwo)[0], 0x00);
    EXPECT_EQ(decodeHeartRateSamples(storedTwo), two);
}

TEST(SeriesCodec, PackingIsIdempotentAndKeepsMarkedBytes) {
    auto json = *encodeSeriesJSON(route(50));
    auto once = compressSeriesData(json);
    EXPECT_EQ(compressSeriesData(once), once);
    Bytes marked{0x00, 'a', 'b'};
    EXPECT_EQ(compressSeriesData(marked), marked);
    EXPECT_EQ(compressSeriesData(Bytes{}), Bytes{});
}

TEST(SeriesCodec, UndecodableFieldsReadAsAbsent) {
    EXPECT_FALSE(decodeRoutePoints(std::nullopt));
    EXPECT_FALSE(decodeRoutePoints(Bytes{}));
    EXPECT_FALSE(decodeRoutePoints(Bytes{0x00}));
    EXPECT_FALSE(decodeRoutePoints(Bytes{0x00, 0xFF, 0xFE, 0x12}));
    EXPECT_FALSE(decompressSeriesData(Bytes{0x00}));
    // A stream cut short does not inflate.
    auto packed = *packSeries(route(100));
    packed.resize(packed.size() / 2);
    EXPECT_FALSE(decodeRoutePoints(packed));
    EXPECT_FALSE(decodeRoutePoints(bytesOf("[{}] trailing")));
    EXPECT_FALSE(decodeRoutePoints(bytesOf("{\"id\":1}")));
}

TEST(SeriesCodec, OneBadElementFailsTheWholeList) {
    const std::string good =
        "{\"id\":\"0a1b2c3d-4e5f-4061-8a7b-9c0d1e2f3a4b\",\"timestamp\":1,\"bpm\":60}";
    EXPECT_EQ(decodeHeartRateSamples(bytesOf("[" + good + "]"))->at(0).id, kFixedID);
    const char* bad[] = {
        "{\"id\":\"0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\",\"timestamp\":1}",
        "{\"id\":\"0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\",\"timestamp\":\"1\",\"bpm\":60}",
        "{\"id\":\"not-a-uuid\",\"timestamp\":1,\"bpm\":60}",
        "{\"id\":\"0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\",\"timestamp\":1,\"bpm\":null}",
        "{\"id\":\"0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\",\"timestamp\":1e999,\"bpm\":60}",
    };
    for (const char* element : bad) {
        EXPECT_FALSE(decodeHeartRateSamples(bytesOf("[" + good + "," + element + "]"))) << element;
    }
    auto extraKeys =
        "[{\"extra\":[1,{}],\"bpm\":5,\"timestamp\":2,\"id\":\"" + kFixedID.toString() + "\"}]";
    EXPECT_EQ(decodeHeartRateSamples(bytesOf(extraKeys))->at(0).bpm, 5);
}

TEST(SeriesCodec, EscapedKeysAndIdentifiersReadLikePlainOnes) {
    auto escaped =
        "[{\"\\u0069d\":\"\\u0030A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\","
        "\"timestamp\":1,\"b\\u0070m\":60}]";
    EXPECT_EQ(decodeHeartRateSamples(bytesOf(escaped)),
              std::vector<HeartRateSample>{heartRate(1, 60)});
    auto escapedBadID =
        "[{\"id\":\"\\u0067A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\","
        "\"timestamp\":1,\"bpm\":60}]";
    EXPECT_FALSE(decodeHeartRateSamples(bytesOf(escapedBadID)));
    auto numberID = "[{\"id\":123456789012345678901234567890123456,\"timestamp\":1,\"bpm\":60}]";
    EXPECT_FALSE(decodeHeartRateSamples(bytesOf(numberID)));
}

TEST(SeriesCodec, LongPlainJSONStaysReadable) {
    auto points = route(40);
    auto plain = *encodeSeriesJSON(points);
    ASSERT_GT(plain.size(), 5000u);
    EXPECT_EQ(decodeRoutePoints(plain), points);
}

TEST(SeriesCodec, NonFiniteValuesCannotBeEncoded) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(encodeSeriesJSON(std::vector<RoutePoint>{routePoint(nan, 8, 0, 0)}));
    EXPECT_FALSE(packSeries(std::vector<RoutePoint>{routePoint(1, 8, inf, 0)}));
    EXPECT_FALSE(packSeries(std::vector<PowerSample>{{kFixedID, 0, nan}}));
    EXPECT_FALSE(packSeries(std::vector<HeartRateSample>{}));
}

std::vector<HeartRateSample> threeBeats() {
    return {heartRate(700000000, 120), heartRate(700000001, 121), heartRate(700000002, 122)};
}

// What stores written before hold: zlib's raw DEFLATE at its default level, and the plain
// stored blocks another device's inflater may meet.
TEST(SeriesCodec, ReadsSeriesPackedByOtherCompressors) {
    const Bytes zlibDefault{0x00, 0x8b, 0xae, 0x56, 0xca, 0x4c, 0x51, 0xb2, 0x52, 0x32, 0x70, 0x34,
                            0x74, 0x32, 0x72, 0x36, 0x76, 0xd1, 0x35, 0x71, 0x35, 0x75, 0xd3, 0x35,
                            0x31, 0x30, 0x33, 0xd4, 0xb5, 0x70, 0x34, 0x77, 0xd2, 0xb5, 0x74, 0x36,
                            0x70, 0x31, 0x74, 0x35, 0x72, 0x33, 0x76, 0x34, 0x71, 0x52, 0xd2, 0x51,
                            0x2a, 0xc9, 0xcc, 0x4d, 0x2d, 0x2e, 0x49, 0xcc, 0x2d, 0x50, 0xb2, 0x32,
                            0x37, 0x80, 0x02, 0x1d, 0xa5, 0xa4, 0x82, 0x5c, 0x25, 0x2b, 0x43, 0x23,
                            0x83, 0x5a, 0x1d, 0x8a, 0x4d, 0x33, 0x84, 0x9b, 0x66, 0x48, 0x05, 0xd3,
                            0x8c, 0xe0, 0xa6, 0x19, 0xd5, 0xc6, 0x02, 0x00};
    EXPECT_EQ(decodeHeartRateSamples(zlibDefault), threeBeats());

    Bytes json = *encodeSeriesJSON(threeBeats());
    auto length = static_cast<std::uint16_t>(json.size());
    // One final stored block: BFINAL set, type 00, then LEN and its complement.
    Bytes storedBlock{0x00,
                      0x01,
                      static_cast<std::uint8_t>(length & 0xFF),
                      static_cast<std::uint8_t>(length >> 8),
                      static_cast<std::uint8_t>(~length & 0xFF),
                      static_cast<std::uint8_t>((~length >> 8) & 0xFF)};
    storedBlock.resize(storedBlock.size() + json.size());
    std::copy(json.begin(), json.end(), storedBlock.end() - static_cast<long>(json.size()));
    EXPECT_EQ(decompressSeriesData(storedBlock), json);
    // Bytes after the end of the stream are ignored, as zlib did.
    storedBlock.push_back(0x42);
    EXPECT_EQ(decodeHeartRateSamples(storedBlock), threeBeats());
}

TEST(SeriesCodec, PackedSeriesIsRawDeflateForAnyInflater) {
    Bytes json = *encodeSeriesJSON(route(500));
    Bytes packed = compressSeriesData(json);
    ASSERT_EQ(packed[0], 0x00);
    ASSERT_LT(packed.size(), json.size());

    z_stream stream{};
    ASSERT_EQ(inflateInit2(&stream, -15), Z_OK);
    Bytes inflated(json.size() + 1);
    stream.next_in = packed.data() + 1;
    stream.avail_in = static_cast<uInt>(packed.size() - 1);
    stream.next_out = inflated.data();
    stream.avail_out = static_cast<uInt>(inflated.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    inflated.resize(stream.total_out);
    inflateEnd(&stream);
    EXPECT_EQ(inflated, json);
}

// Text that does not compress leaves the packer nothing to gain: it must still write a stream
// that gives back every byte, across many 64 KiB blocks.
TEST(SeriesCodec, IncompressibleTextPacksAndReadsBack) {
    Bytes noise(700'000);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : noise) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(0x20 + (state >> 24) % 0x5F);
    }
    noise.front() = '[';
    Bytes packed = compressSeriesData(noise);
    ASSERT_EQ(packed[0], 0x00);
    EXPECT_LT(packed.size(), noise.size() + noise.size() / 100);
    EXPECT_EQ(decompressSeriesData(packed), noise);
}

// Repetitive JSON inflates to hundreds of times its packed size: the buffer must grow past its
// first guess, and stop at the limit.
TEST(SeriesCodec, InflationGrowsToTheOutputAndStopsAtTheLimit) {
    const std::size_t limit = std::size_t{1} << 20;
    Bytes json(limit, ' ');
    json.front() = '[';
    json.back() = ']';
    Bytes packed = compressSeriesData(json);
    ASSERT_LT(packed.size() * 100, json.size());

    auto whole = decompressSeriesData(packed, limit);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, json);
    EXPECT_LE(whole->capacity(), 2 * limit);
    EXPECT_EQ(decompressSeriesData(packed), json);
    EXPECT_EQ(decodeRoutePoints(packed), std::vector<RoutePoint>{});

    EXPECT_FALSE(decompressSeriesData(packed, limit - 1));
    EXPECT_FALSE(decompressSeriesData(packed, 4096));
}

TEST(SeriesCodec, IdentifierTextInEitherCaseAndNothingElse) {
    const std::string upper = "0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B";
    std::string lower = upper;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_EQ(Uuid::parse(lower), kFixedID);
    EXPECT_EQ(kFixedID.toString(), upper);
    Uuid random = Uuid::random();
    EXPECT_EQ(Uuid::parse(random.toString()), random);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        for (char wrong : {'g', 'G', '-', ' ', '\0', '\xC3'}) {
            std::string text = upper;
            if (text[i] == wrong) continue;
            text[i] = wrong;
            EXPECT_FALSE(Uuid::parse(text)) << text;
        }
    }
    EXPECT_FALSE(Uuid::parse(upper.substr(1)));
    EXPECT_FALSE(Uuid::parse(upper + "0"));
}

TEST(SeriesCodec, DoublesRoundTripExactly) {
    std::vector<PowerSample> samples{{Uuid::random(), 0.1 + 0.2, 1.0 / 3.0},
                                     {Uuid::random(), -1e-300, 5e300}};
    EXPECT_EQ(decodePowerSamples(packSeries(samples)), samples);
}

}  // namespace
}  // namespace vantrel
