#include <gtest/gtest.h>
#include <simdjson.h>

#include <regex>

#include "analysis/TestRoutes.h"
#include "cli/CliRunner.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

using test::kRideStart;
using test::pointAt;

class HeatmapCommandTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";
    std::filesystem::path output = environment.root() / "heat.geojson";

    void add(const std::string& kind, Date date) {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->activityType = kind;
        ride->date = date;
        // North, then a turn east: three points survive the simplification.
        std::vector<RoutePoint> route;
        for (int i = 0; i <= 50; ++i) route.push_back(pointAt(i * 10.0, date + i));
        for (int i = 1; i <= 50; ++i) {
            RoutePoint point = route[50];
            point.coordinate.longitude += i * 0.0001;
            point.timestamp = date + 50 + i;
            route.push_back(point);
        }
        ride->setRoutePoints(route);
        store->insert(ride);
        store->save();
    }

    Result run(std::vector<std::string> args) { return runOnStore(storeFile, std::move(args)); }
};

TEST_F(HeatmapCommandTest, WritesTheChosenLinesAsGeoJson) {
    add("running", kRideStart);
    add("trailRunning", dateFromUnix(1'720'000'000));  // 2024
    add("cycling", dateFromUnix(1'720'000'000));
    Result result = run({"heatmap", "--kind", "running", "--geojson", output.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Wrote the lines of 2 activities to " + output.string() + ".\n");

    simdjson::dom::parser parser;
    simdjson::dom::element root = parser.load(output.string());
    EXPECT_EQ(std::string_view(root["type"]), "FeatureCollection");
    simdjson::dom::array features = root["features"];
    ASSERT_EQ(features.size(), 2u);
    simdjson::dom::element first = features.at(0);
    EXPECT_EQ(std::string_view(first["geometry"]["type"]), "LineString");
    EXPECT_EQ(std::string_view(first["properties"]["kind"]), "running");
    EXPECT_EQ(std::string_view(first["properties"]["date"]), "2023-03-08T20:26:40Z");
    EXPECT_EQ(std::string_view(first["properties"]["rideID"]).size(), 36u);
    simdjson::dom::array coordinates = first["geometry"]["coordinates"];
    ASSERT_EQ(coordinates.size(), 3u);
    // Longitude first, as GeoJSON has it.
    EXPECT_NEAR(double(coordinates.at(0).at(0)), test::kRouteOrigin.longitude, 1e-9);
    EXPECT_NEAR(double(coordinates.at(0).at(1)), test::kRouteOrigin.latitude, 1e-9);
    // Positions to a tenth of a metre: the digits beyond only made the file larger.
    std::string text = test::readFileText(output);
    EXPECT_FALSE(std::regex_search(text, std::regex(R"([0-9]\.[0-9]{7})"))) << text;
    EXPECT_NE(text.find("[8.5417,47.3769]"), std::string::npos) << text;

    result = run({"heatmap", "--kind", "cycling", "--kind", "trailRunning", "--year", "2024",
                  "--geojson", output.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(parser.load(output.string())["features"].get_array().size(), 2u);
    result = run({"heatmap", "--year", "2019", "--geojson", output.string()});
    EXPECT_EQ(parser.load(output.string())["features"].get_array().size(), 0u);
}

TEST_F(HeatmapCommandTest, BadArgumentsAndUnwritableFilesLeaveNothingBehind) {
    add("running", kRideStart);
    Result result = run({"heatmap", "--kind", "unicycling", "--geojson", output.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "vantrel-cli: unknown kind unicycling\n");
    result = run({"heatmap", "--kind", "running"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "vantrel-cli: heatmap needs --geojson FILE\n");
    EXPECT_FALSE(std::filesystem::exists(output));

    result = run({"heatmap", "--geojson", (environment.root() / "no-such-folder" / "x").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Cannot write"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace vantrel::cli
