#include <gtest/gtest.h>

#include "services/FakeWeatherService.h"
#include "services/HourlyAnswer.h"
#include "services/WeatherAtInstant.h"

namespace vantrel {
namespace {

using test::utc;

// Two hours of one location, each variable given as "before,after" ("null" for no data).
std::string twoHours(const std::string& temperature = "10,12",
                     const std::string& humidity = "50,61", const std::string& code = "1,3",
                     const std::string& speed = "10,20", const std::string& direction = "350,20") {
    return R"({"utc_offset_seconds":0,"hourly":{"time":["2024-05-01T14:00","2024-05-01T15:00"],)"
           R"("temperature_2m":[)" +
           temperature + R"(],"relative_humidity_2m":[)" + humidity + R"(],"weather_code":[)" +
           code + R"(],"wind_speed_10m":[)" + speed + R"(],"wind_direction_10m":[)" + direction +
           "]}}";
}

HourlySeries parsedWeather(const std::string& json) {
    auto series = HourlyAnswer::parse(json, kWeatherVariables);
    EXPECT_EQ(series.size(), 1u);
    return series.front();
}

TEST(WeatherAtInstantTest, InterpolatesBetweenTheHoursAndTakesTheNearestCode) {
    HourlySeries hours = parsedWeather(twoHours());
    auto quarter = weatherAt(hours, utc("2024-05-01T14:15:00Z"));
    ASSERT_TRUE(quarter.value);
    EXPECT_DOUBLE_EQ(quarter.value->temperatureCelsius, 10.5);
    EXPECT_EQ(quarter.value->humidity, 53);  // 52.75 rounds up
    EXPECT_EQ(quarter.value->weatherCode, 1);
    EXPECT_DOUBLE_EQ(quarter.value->windSpeedKmh, 12.5);
    // From 350° to 20° the short way: a quarter of 30° past 350°.
    EXPECT_EQ(quarter.value->windDirectionDegrees, 358);
    EXPECT_FALSE(quarter.value->aqi);

    auto half = weatherAt(hours, utc("2024-05-01T14:30:00Z"));
    ASSERT_TRUE(half.value);
    EXPECT_DOUBLE_EQ(half.value->temperatureCelsius, 11);
    EXPECT_EQ(half.value->humidity, 56);    // 55.5 rounds away from zero
    EXPECT_EQ(half.value->weatherCode, 3);  // half past belongs to the later hour
    EXPECT_EQ(half.value->windDirectionDegrees, 5);

    auto onTheHour = weatherAt(hours, utc("2024-05-01T15:00:00Z"));
    ASSERT_TRUE(onTheHour.value);
    EXPECT_DOUBLE_EQ(onTheHour.value->temperatureCelsius, 12);
    EXPECT_EQ(onTheHour.value->windDirectionDegrees, 20);
    // Outside the hours answered there is nothing to say.
    EXPECT_FALSE(weatherAt(hours, utc("2024-05-01T15:00:01Z")).value);
    EXPECT_FALSE(weatherAt(hours, utc("2024-05-01T13:59:59Z")).value);
}

TEST(WeatherAtInstantTest, DirectionWrapsToZeroNotThreeHundredSixty) {
    HourlySeries hours = parsedWeather(twoHours("10,12", "50,61", "1,3", "10,20", "359,1"));
    auto reading = weatherAt(hours, utc("2024-05-01T14:15:00Z"));
    ASSERT_TRUE(reading.value);
    EXPECT_EQ(reading.value->windDirectionDegrees, 0);  // 359.5 rounds to 360, which is 0
}

TEST(WeatherAtInstantTest, NullsGiveNoDataAndOnlyTheHoursNeededCount) {
    // The later hour has no temperature: an instant between the hours has no snapshot…
    HourlySeries hours = parsedWeather(twoHours("10,null"));
    auto between = weatherAt(hours, utc("2024-05-01T14:10:00Z"));
    EXPECT_FALSE(between.value);
    EXPECT_TRUE(between.problem.empty());
    // …one exactly on the earlier hour does.
    EXPECT_TRUE(weatherAt(hours, utc("2024-05-01T14:00:00Z")).value);
    // The code is only read at the nearest hour, so a missing code further away does not matter.
    HourlySeries codes = parsedWeather(twoHours("10,12", "50,61", "1,null"));
    EXPECT_TRUE(weatherAt(codes, utc("2024-05-01T14:10:00Z")).value);
    EXPECT_FALSE(weatherAt(codes, utc("2024-05-01T14:50:00Z")).value);
}

TEST(WeatherAtInstantTest, ValuesOutOfRangeGiveNoSnapshotAndSayWhich) {
    struct Case {
        HourlySeries hours;
        const char* named;
    };
    const Case cases[] = {
        {parsedWeather(twoHours("10,100.5")), "temperature_2m"},
        {parsedWeather(twoHours("-101,0")), "temperature_2m"},
        {parsedWeather(twoHours("10,12", "50,101")), "relative_humidity_2m"},
        {parsedWeather(twoHours("10,12", "-1,50")), "relative_humidity_2m"},
        {parsedWeather(twoHours("10,12", "50,61", "1,3", "-0.5,3")), "wind_speed_10m"},
        {parsedWeather(twoHours("10,12", "50,61", "1,300")), "weather_code"},
        {parsedWeather(twoHours("10,12", "50,61", "1,3", "1,3", "0,400")), "wind_direction_10m"},
    };
    for (const auto& c : cases) {
        auto reading = weatherAt(c.hours, utc("2024-05-01T14:40:00Z"));
        EXPECT_FALSE(reading.value) << c.named;
        EXPECT_NE(reading.problem.find(c.named), std::string::npos) << reading.problem;
    }
    // The limits themselves are plausible.
    auto edge = weatherAt(parsedWeather(twoHours("-100,100", "0,100", "0,99", "0,0", "0,360")),
                          utc("2024-05-01T14:40:00Z"));
    EXPECT_TRUE(edge.value) << edge.problem;
}

TEST(WeatherAtInstantTest, AirQualityIsTheNearestHoursIndex) {
    auto series = HourlyAnswer::parse(
        R"({"hourly":{"time":["2024-05-01T14:00","2024-05-01T15:00","2024-05-01T16:00"],)"
        R"("us_aqi":[40,null,-3]}})",
        kAirQualityVariables);
    ASSERT_EQ(series.size(), 1u);
    EXPECT_EQ(aqiAt(series[0], utc("2024-05-01T14:29:00Z")).value, 40);
    auto missing = aqiAt(series[0], utc("2024-05-01T14:30:00Z"));
    EXPECT_FALSE(missing.value);
    EXPECT_TRUE(missing.problem.empty());
    auto negative = aqiAt(series[0], utc("2024-05-01T16:00:00Z"));
    EXPECT_FALSE(negative.value);
    EXPECT_NE(negative.problem.find("us_aqi"), std::string::npos);
}

TEST(HourlyAnswerTest, ReadsSeveralLocationsAndIgnoresOtherKeys) {
    std::string one = R"({"latitude":47.4,"elevation":410,"hourly_units":{"us_aqi":"USAQI"},)"
                      R"("hourly":{"time":["2024-05-01T23:00","2024-05-02T00:00"],)"
                      R"("pm10":[1,2],"us_aqi":[12,13.0]}})";
    auto series = HourlyAnswer::parse("[" + one + "," + one + "]", kAirQualityVariables);
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series[1].times,
              (std::vector<Date>{utc("2024-05-01T23:00:00Z"), utc("2024-05-02T00:00:00Z")}));
    EXPECT_EQ(series[1].values[0], (std::vector<std::optional<double>>{12.0, 13.0}));
}

TEST(HourlyAnswerTest, RefusesAnswersThatDoNotReadAndSaysWhy) {
    auto hours = [](const std::string& times, const std::string& values,
                    const std::string& extra = "") {
        return R"({)" + extra + R"("hourly":{"time":[)" + times + R"(],"us_aqi":[)" + values +
               "]}}";
    };
    const std::pair<std::string, const char*> cases[] = {
        {"<html>Bad gateway</html>", "not valid JSON"},
        {"", "not valid JSON"},
        {R"({"hourly":{"time":["2024-05-01T14:00"]}})", "no us_aqi"},
        {R"({"latitude":1})", "no hourly times"},
        {hours(R"("2024-05-01T14:00","2024-05-01T15:00")", "1"), "different lengths"},
        {hours(R"("2024-05-01T15:00","2024-05-01T14:00")", "1,2"), "out of order"},
        {hours(R"("2024-05-01T14:00","2024-05-01T14:00")", "1,2"), "out of order"},
        {hours(R"("2024-05-01 14:00")", "1"), "YYYY-MM-DDTHH:MM"},
        {hours(R"("2024-05-01T14:00Z")", "1"), "YYYY-MM-DDTHH:MM"},
        {hours(R"("2024-13-01T14:00")", "1"), "YYYY-MM-DDTHH:MM"},
        {hours(R"("2024-05-01T14:00")", R"("12")"), "neither a number nor null"},
        {hours(R"("2024-05-01T14:00")", "1", R"("utc_offset_seconds":7200,)"), "not in GMT"},
        {hours(R"(14)", "1"), "not valid JSON"},
        {hours(R"("2024-05-01T14:00")", "1") + "{}", "follows"},
    };
    for (const auto& [json, reason] : cases) {
        try {
            HourlyAnswer::parse(json, kAirQualityVariables);
            ADD_FAILURE() << "read: " << json;
        } catch (const WeatherAnswerError& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos)
                << json << " → " << error.what();
        }
    }
}

TEST(HourlyAnswerTest, ErrorReasonOnlyForErrorAnswers) {
    EXPECT_EQ(HourlyAnswer::errorReason(R"({"reason":"Cannot initialize","error":true})"),
              "Cannot initialize");
    EXPECT_FALSE(HourlyAnswer::errorReason(R"({"reason":"x","error":false})"));
    EXPECT_FALSE(HourlyAnswer::errorReason("Bad gateway"));
}

}  // namespace
}  // namespace vantrel
