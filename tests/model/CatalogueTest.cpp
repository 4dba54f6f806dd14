#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "model/ActivityType.h"
#include "model/PersistedRide.h"
#include "model/UnitSystem.h"
#include "model/WeatherSnapshot.h"

namespace vantrel {
namespace {

TEST(ActivityType, RawValuesAreTheCaseNamesAndUnique) {
    std::set<std::string_view> raws;
    for (auto type : allActivityTypes()) {
        raws.insert(rawValue(type));
        EXPECT_EQ(activityTypeFromRawValue(rawValue(type)), type);
    }
    EXPECT_EQ(raws.size(), 20u);
    EXPECT_EQ(rawValue(ActivityType::cruiseShip), "cruiseShip");
    EXPECT_EQ(displayName(ActivityType::other), "Workout");
    EXPECT_EQ(timeLabel(ActivityType::walking), "Riding Time");
    EXPECT_EQ(gpxType(ActivityType::cruiseShip), "cruise");
    EXPECT_EQ(iconName(ActivityType::rv), "truck.box.fill");
    EXPECT_FALSE(activityTypeFromRawValue("Cycling"));
}

TEST(ActivityType, TextIsLowerCasedOnly) {
    EXPECT_EQ(activityTypeFromText("Ride"), ActivityType::cycling);
    EXPECT_EQ(activityTypeFromText("RIDE"), ActivityType::cycling);
    EXPECT_EQ(activityTypeFromText(" ride"), ActivityType::other);
    EXPECT_EQ(activityTypeFromText("Virtual Ride"), ActivityType::other);
    EXPECT_EQ(activityTypeFromText("Aqua Jogging"), ActivityType::aquaJogging);
    EXPECT_EQ(activityTypeFromText("cruise ship"), ActivityType::cruiseShip);
    EXPECT_EQ(activityTypeFromText("CruiseShip"), ActivityType::cruiseShip);
    EXPECT_EQ(activityTypeFromText(""), ActivityType::other);
    EXPECT_EQ(activityTypeFromText("workout"), ActivityType::other);
}

TEST(ActivityType, GpxTokensReadBackExceptRoadAndIndoor) {
    for (auto type : allActivityTypes()) {
        auto back = activityTypeFromText(gpxType(type));
        bool collapses = type == ActivityType::roadCycling || type == ActivityType::indoorCycling;
        EXPECT_EQ(back, collapses ? ActivityType::cycling : type) << rawValue(type);
    }
}

TEST(PersistedRide, ResolvedTypeAndSortedPhotos) {
    PersistedRide ride;
    EXPECT_FALSE(ride.resolvedActivityType());
    ride.activityType = "Cycling";
    EXPECT_FALSE(ride.resolvedActivityType());
    ride.activityType = "cycling";
    EXPECT_EQ(ride.resolvedActivityType(), ActivityType::cycling);
    for (auto [order, caption] : {std::pair{2, "c"}, {0, "a"}, {1, "b"}, {0, "a2"}}) {
        RidePhoto photo;
        photo.sortOrder = order;
        photo.caption = caption;
        ride.photos.push_back(photo);
    }
    std::vector<std::string> captions;
    for (const auto& photo : ride.sortedPhotos()) captions.push_back(*photo.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"a", "a2", "b", "c"}));
}

TEST(PersistedRide, EmptyOrUnencodableSeriesMakeTheFieldAbsent) {
    PersistedRide ride;
    EXPECT_EQ(ride.duration, 0);
    EXPECT_FALSE(ride.routeData);
    ride.setHeartRateSamples({{Uuid::random(), 1, 60}});
    EXPECT_TRUE(ride.heartRateData);
    ride.setHeartRateSamples({});
    EXPECT_FALSE(ride.heartRateData);
    ride.setPowerSamples({{Uuid::random(), 1, std::numeric_limits<double>::infinity()}});
    EXPECT_FALSE(ride.powerData);
    EXPECT_TRUE(ride.powerSamples().empty());
}

TEST(WeatherSnapshot, DecodesRequiredKeysAndOptionalAqi) {
    auto base = std::string(
        "\"temperatureCelsius\":21.5,\"weatherCode\":3,\"humidity\":40,\"windSpeedKmh\":5.0,"
        "\"windDirectionDegrees\":270");
    auto withoutAqi = decodeWeather(bytesOf("{" + base + "}"));
    ASSERT_TRUE(withoutAqi);
    EXPECT_FALSE(withoutAqi->aqi);
    EXPECT_EQ(decodeWeather(bytesOf("{" + base + ",\"aqi\":null}")), withoutAqi);
    EXPECT_EQ(decodeWeather(bytesOf("{" + base + ",\"aqi\":42,\"x\":[1]}"))->aqi, 42);
    EXPECT_FALSE(
        decodeWeather(bytesOf("{\"temperatureCelsius\":1,\"weatherCode\":3,"
                              "\"windSpeedKmh\":1,\"windDirectionDegrees\":2}")));
    EXPECT_FALSE(decodeWeather(bytesOf("{" + base + ",\"aqi\":\"bad\"}")));
    EXPECT_FALSE(decodeWeather(bytesOf("{\"temperatureCelsius\":\"1\"" + base.substr(25) + "}")));
    EXPECT_FALSE(decodeWeather(bytesOf("not json")));
    EXPECT_FALSE(decodeWeather(std::nullopt));
    EXPECT_EQ(textOf(encodeWeather(*withoutAqi)).find("aqi"), std::string::npos);
    EXPECT_EQ(decodeWeather(encodeWeather(*withoutAqi)), withoutAqi);
}

TEST(WeatherSnapshot, ConditionsAndAirQuality) {
    WeatherSnapshot snapshot;
    for (int code : {4, 100, -2}) {
        snapshot.weatherCode = code;
        EXPECT_EQ(conditionDescription(snapshot), "Unknown");
        EXPECT_EQ(conditionSymbol(snapshot), "cloud.fill");
    }
    snapshot.weatherCode = 3;
    EXPECT_EQ(conditionDescription(snapshot), "Overcast");
    snapshot.weatherCode = -1;
    EXPECT_EQ(conditionDescription(snapshot), "");
    EXPECT_EQ(conditionSymbol(snapshot), "thermometer");
    snapshot.weatherCode = 99;
    EXPECT_EQ(conditionDescription(snapshot), "Thunderstorm with Hail");
    EXPECT_FALSE(aqiCategory(snapshot));
    EXPECT_TRUE(aqiColor(snapshot).secondary);
    std::pair<int, const char*> bands[] = {{0, "Good"},        {50, "Good"},
                                           {51, "Moderate"},   {150, "USG"},
                                           {200, "Unhealthy"}, {300, "Very Unhealthy"},
                                           {301, "Hazardous"}, {-1, "Hazardous"}};
    for (auto [aqi, category] : bands) {
        snapshot.aqi = aqi;
        EXPECT_EQ(aqiCategory(snapshot), category) << aqi;
    }
    EXPECT_EQ(aqiColor(snapshot), (Rgba{0.5, 0, 0, 1, false}));
}

TEST(UnitSystem, FormatsWithFixedPatterns) {
    auto imperial = UnitSystem::imperial, metric = UnitSystem::metric;
    EXPECT_EQ(formatDistance(150, imperial), "492 ft");
    EXPECT_EQ(formatDistance(1234, imperial), "0.8 mi");
    EXPECT_EQ(formatDistance(1234, metric), "1.2 km");
    EXPECT_EQ(formatDistance(99, metric), "99 m");
    EXPECT_EQ(formatDistance(100, metric), "0.1 km");
    EXPECT_EQ(formatDistance(0, imperial), "0 ft");
    EXPECT_EQ(formatSpeed(10, imperial), "22.4 mph");
    EXPECT_EQ(formatSpeed(10, metric), "36.0 km/h");
    EXPECT_EQ(formatTemperature(20, imperial), "68\u00B0F");
    EXPECT_EQ(formatTemperature(-40, imperial), "-40\u00B0F");
    EXPECT_EQ(formatTemperature(-40, metric), "-40\u00B0C");
    EXPECT_EQ(formatDuration(3599.9), "59:59");
    EXPECT_EQ(formatDuration(425), "07:05");
    EXPECT_EQ(formatDuration(3600), "1:00:00");
    EXPECT_EQ(formatDuration(90061), "25:01:01");
    EXPECT_EQ(formatPace(245.9), "4:05");
    EXPECT_EQ(formatPace(4500), "75:00");
    EXPECT_EQ(formatDuration(std::nan("")), "--:--");
    EXPECT_EQ(formatElevationChange(-3, metric), "-3 m");
    EXPECT_EQ(formatElevationGain(10, imperial), "+33 ft");
    EXPECT_EQ(formatWindSpeed(16.0934, imperial), "10 mph");
    EXPECT_EQ(unitSystemFromRawValue(std::string("Metric")), imperial);
    EXPECT_EQ(unitSystemFromRawValue(std::string("metric")), metric);
}

}  // namespace
}  // namespace vantrel
