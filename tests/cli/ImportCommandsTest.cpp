#include <gtest/gtest.h>
#include <simdjson.h>

#include <sstream>

#include "cli/CliRunner.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

const std::string kGpx =
    "<?xml version=\"1.0\"?><gpx><trk><name>Morning \"loop\"</name><type>running</type><trkseg>"
    "<trkpt lat=\"47.5\" lon=\"8.25\"><ele>400</ele><time>2024-05-01T06:30:15.250Z</time>"
    "<extensions><hr>120</hr></extensions></trkpt>"
    "<trkpt lat=\"47.51\" lon=\"8.26\"><time>2024-05-01T06:31:15Z</time></trkpt>"
    "</trkseg></trk></gpx>";

const std::string kTcx =
    "<TrainingCenterDatabase><Activities><Activity Sport=\"Biking\"><Lap><TotalTimeSeconds>60"
    "</TotalTimeSeconds><DistanceMeters>500</DistanceMeters><Calories>12</Calories>"
    "<MaximumHeartRateBpm><Value>150</Value></MaximumHeartRateBpm></Lap></Activity></Activities>"
    "</TrainingCenterDatabase>";

class ImportCommandsTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";

    Result run(std::vector<std::string> args) { return runOnStore(storeFile, std::move(args)); }

    std::string write(const std::string& name, const std::string& text) {
        test::writeFileBytes(environment.root() / name, bytesOf(text));
        return (environment.root() / name).string();
    }

    std::int64_t storedCount() { return RideStore::open(storeFile)->count({}); }
};

TEST_F(ImportCommandsTest, InspectPrintsASummaryAndStoresNothing) {
    auto result = run({"inspect", write("ride.gpx", kGpx)});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "trackpoints: 2\nlaps: 0\nfirst: 2024-05-01T06:30:15.250Z\n"
              "last: 2024-05-01T06:31:15.000Z\nkind: running\n");
    EXPECT_FALSE(std::filesystem::exists(storeFile));
}

TEST_F(ImportCommandsTest, InspectJsonGivesEveryReaderValue) {
    auto result = run({"inspect", write("ride.gpx", kGpx), "--json"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "{\"name\":\"Morning \\\"loop\\\"\",\"activityType\":\"running\",\"trackpoints\":["
              "{\"latitude\":47.5,\"longitude\":8.25,\"altitude\":400,\"timestamp\":"
              "\"2024-05-01T06:30:15.250Z\",\"heartRate\":120},{\"latitude\":47.51,\"longitude\":"
              "8.26,\"altitude\":null,\"timestamp\":\"2024-05-01T06:31:15.000Z\",\"heartRate\":"
              "null}],\"laps\":[]}\n");
    auto tcx = run({"inspect", "--json", write("laps.tcx", kTcx)});
    EXPECT_EQ(tcx.out,
              "{\"name\":null,\"activityType\":\"cycling\",\"trackpoints\":[],\"laps\":[{"
              "\"totalTimeSeconds\":60,\"distanceMeters\":500,\"calories\":12,"
              "\"averageHeartRate\":null,\"maxHeartRate\":150}]}\n");
}

TEST_F(ImportCommandsTest, InspectJsonOfARealFileIsValidJson) {
    auto result = run({"inspect", "--json", test::corpusFile("tcxparser__fr410-run.tcx.gz")});
    ASSERT_EQ(result.status, 0);
    simdjson::dom::parser parser;
    simdjson::dom::element doc = parser.parse(result.out);
    EXPECT_EQ(doc["trackpoints"].get_array().size(), 383u);
    EXPECT_EQ(doc["laps"].get_array().size(), 3u);
}

TEST_F(ImportCommandsTest, InspectReportsReaderErrorsExactly) {
    auto bad = run({"inspect", write("bad.gpx", "<gpx>")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.starts_with("Failed to parse file: ")) << bad.err;
    auto kind = run({"inspect", write("notes.txt", "hello")});
    EXPECT_EQ(kind.err, "Unsupported file type: .txt. Use GPX, TCX, or FIT files.\n");
    auto missing = run({"inspect", (environment.root() / "nope.fit").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Cannot read file: No such file or directory\n");
    EXPECT_EQ(run({"inspect"}).status, 1);
}

TEST_F(ImportCommandsTest, ImportStoresFilesAndListsFailures) {
    auto result = run({"import", "--source", "Strava", write("a.gpx", kGpx), write("b.tcx", kTcx),
                       write("c.gpx", kGpx)});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Imported 2 activities\n1 file could not be imported:\n"
              "b.tcx: No GPS trackpoints found in the file.\n");
    EXPECT_EQ(result.err, "b.tcx: No GPS trackpoints found in the file.\n");
    auto store = RideStore::open(storeFile);
    auto rides = store->allRecords();
    ASSERT_EQ(rides.size(), 2u);
    EXPECT_EQ(rides[0]->importSource, "Strava (GPX)");
}

TEST_F(ImportCommandsTest, ImportExitStatusFollowsTheOutcome) {
    auto one = run({"import", write("a.gpx", kGpx)});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, "Imported 1 activity\n");
    EXPECT_EQ(storedCount(), 1);
    EXPECT_EQ(RideStore::open(storeFile)->allRecords()[0]->importSource, "GPX");

    auto allFailed = run({"import", write("x.gpx", "<gpx"), write("y.kml", kGpx)});
    EXPECT_EQ(allFailed.status, 1);
    EXPECT_TRUE(
        allFailed.out.starts_with("Imported 0 activities\n2 files could not be imported:\n"
                                  "x.gpx: Failed to parse file: "))
        << allFailed.out;
    EXPECT_NE(allFailed.err.find("y.kml: Unsupported file type: .kml."), std::string::npos);
    EXPECT_EQ(storedCount(), 1);

    auto none = run({"import"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "Imported 0 activities\n");
}

}  // namespace
}  // namespace vantrel::cli
