#include <gtest/gtest.h>

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

TEST(SeriesCodec, DoublesRoundTripExactly) {
    std::vector<PowerSample> samples{{Uuid::random(), 0.1 + 0.2, 1.0 / 3.0},
                                     {Uuid::random(), -1e-300, 5e300}};
    EXPECT_EQ(decodePowerSamples(packSeries(samples)), samples);
}

}  // namespace
}  // namespace vantrel
