#include <gtest/gtest.h>
#include <zlib.h>

#include <limits>
#include <numbers>

#include "import/ActivityImporter.h"
#include "import/RideImportError.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

const std::string kGpx =
    "<?xml version=\"1.0\"?><gpx><trk><type>running</type><trkseg>"
    "<trkpt lat=\"47.0\" lon=\"8.0\"><ele>100</ele><time>2024-05-01T06:30:20Z</time></trkpt>"
    "<trkpt lat=\"46.0\" lon=\"8.0\"><ele>104</ele><time>2024-05-01T06:30:10Z</time></trkpt>"
    "</trkseg></trk></gpx>";

Bytes gzipped(const std::string& text) {
    Bytes input = bytesOf(text);
    uLongf size = compressBound(input.size()) + 32;
    Bytes output(size);
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    deflate(&stream, Z_FINISH);
    output.resize(stream.total_out);
    deflateEnd(&stream);
    return output;
}

std::string importFailure(const Bytes& bytes, const std::string& name) {
    try {
        importActivityFile(bytes, name, std::nullopt);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "imported";
}

ImportedTrackpoint point(Date time, std::optional<double> altitude = std::nullopt,
                         std::optional<double> heartRate = std::nullopt) {
    return {47.0, 8.0, altitude, time, heartRate, std::nullopt, std::nullopt};
}

TEST(ImportActivityFile, DispatchesByExtensionInAnyCase) {
    for (std::string name : {"ride.gpx", "ride.GPX", "a.b.Gpx"}) {
        PersistedRide ride = importActivityFile(bytesOf(kGpx), name, std::nullopt);
        EXPECT_EQ(ride.importSource, "GPX") << name;
        EXPECT_EQ(ride.activityType, "running");
    }
    PersistedRide labelled = importActivityFile(gzipped(kGpx), "ride.gpx.gz", "Strava");
    EXPECT_EQ(labelled.importSource, "Strava (GPX)");
    EXPECT_EQ(labelled.routePoints().size(), 2u);
}

TEST(ImportActivityFile, UnsupportedTypesNameTheExtension) {
    EXPECT_EQ(importFailure(bytesOf(kGpx), "ride.KML"),
              "Unsupported file type: .kml. Use GPX, TCX, or FIT files.");
    EXPECT_EQ(importFailure(bytesOf(kGpx), "ride"),
              "Unsupported file type: .. Use GPX, TCX, or FIT files.");
    EXPECT_EQ(importFailure(gzipped(kGpx), "ride.gz"),
              "Unsupported file type: .. Use GPX, TCX, or FIT files.");
    // Decompression comes before the inner extension is looked at.
    EXPECT_EQ(importFailure(bytesOf("not gzip at all, really"), "notes.txt.gz"),
              "Failed to decompress file: Not a gzip file");
}

TEST(ImportActivityFile, StripsOnlyLeadingBlankBytes) {
    EXPECT_EQ(importFailure(bytesOf("\n\r\t  " + kGpx), "ride.gpx"), "imported");
    std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(importFailure(bytesOf(bom + kGpx), "ride.gpx"), "imported");
    EXPECT_TRUE(
        importFailure(bytesOf(bom + " " + kGpx), "ride.gpx").starts_with("Failed to parse file: "));
    EXPECT_TRUE(importFailure(bytesOf("\v" + kGpx), "ride.gpx").starts_with("Failed to parse"));
    EXPECT_TRUE(importFailure(bytesOf(" \n "), "ride.tcx").starts_with("Failed to parse file: "));
}

TEST(ImportActivityFile, FileWithoutTrackpointsFails) {
    EXPECT_EQ(importFailure(bytesOf("<gpx><wpt lat=\"1\" lon=\"2\"/></gpx>"), "w.gpx"),
              "No GPS trackpoints found in the file.");
}

TEST(BuildActivity, SortsPointsAndDerivesStatistics) {
    std::vector<ImportedTrackpoint> points = {point(30, 100, 150), point(10, 99, std::nullopt),
                                              point(20, 104, 130)};
    points[1].latitude = 46.0;
    PersistedRide ride = buildActivity(points, {}, ActivityType::hiking, "GPX");
    EXPECT_EQ(ride.date, 10);
    EXPECT_EQ(ride.duration, 20);
    EXPECT_EQ(ride.activeTime, 20);
    EXPECT_NEAR(ride.distance, 111194.9, 0.1);
    EXPECT_EQ(ride.elevationGain, 5);
    EXPECT_EQ(ride.averageHeartRate, 140);
    EXPECT_EQ(ride.maxHeartRate, 150);
    EXPECT_EQ(ride.calories, 0);
    EXPECT_EQ(ride.activityType, "hiking");
    auto route = ride.routePoints();
    ASSERT_EQ(route.size(), 3u);
    EXPECT_EQ(route[0].timestamp, 10);
    EXPECT_EQ(route[0].coordinate.latitude, 46.0);
    EXPECT_EQ(ride.heartRateSamples().size(), 2u);
    EXPECT_FALSE(ride.healthKitUUID || ride.deletedAt || ride.city || ride.startElevation);
}

TEST(BuildActivity, EqualTimesKeepReaderOrder) {
    std::vector<ImportedTrackpoint> points = {point(5), point(5), point(1)};
    points[0].latitude = 1;
    points[1].latitude = 2;
    auto route = buildActivity(points, {}, std::nullopt, "GPX").routePoints();
    ASSERT_EQ(route.size(), 3u);
    EXPECT_EQ(route[1].coordinate.latitude, 1);
    EXPECT_EQ(route[2].coordinate.latitude, 2);
}

TEST(BuildActivity, NoHeartRatesGiveZerosAndNoSeries) {
    PersistedRide ride = buildActivity({point(0), point(1)}, {}, std::nullopt, "GPX");
    EXPECT_EQ(ride.averageHeartRate, 0);
    EXPECT_EQ(ride.maxHeartRate, 0);
    EXPECT_FALSE(ride.heartRateData);
    EXPECT_FALSE(ride.activityType);
    EXPECT_TRUE(ride.routeData);
}

TEST(BuildActivity, LapsDecideDistanceCaloriesTimeAndHeartRate) {
    std::vector<ImportedTrackpoint> points = {point(0, 0, 100), point(100, 0, 200)};
    points[1].latitude = 48;
    std::vector<ImportedLapSummary> laps = {
        {60, 0, 10, 120.0, 170.0}, {30, 0, 5, 150.0, 180.0}, {0, 0, 1, 200.0, std::nullopt}};
    PersistedRide ride = buildActivity(points, laps, std::nullopt, "TCX");
    EXPECT_EQ(ride.distance, 0);  // the laps say 0 even though the points moved
    EXPECT_EQ(ride.calories, 16);
    EXPECT_EQ(ride.activeTime, 90);
    EXPECT_DOUBLE_EQ(ride.averageHeartRate, 130);
    EXPECT_EQ(ride.maxHeartRate, 180);
}

TEST(BuildActivity, LapsWithoutAverageFallBackToTrackpoints) {
    std::vector<ImportedLapSummary> laps = {{60, 500, 10, std::nullopt, 190.0}};
    PersistedRide ride =
        buildActivity({point(0, 0, 100), point(1, 0, 120)}, laps, std::nullopt, "TCX");
    EXPECT_EQ(ride.averageHeartRate, 110);
    EXPECT_EQ(ride.maxHeartRate, 120);
    EXPECT_EQ(ride.calories, 10);
    EXPECT_EQ(ride.activeTime, 60);
    EXPECT_EQ(ride.distance, 500);
}

TEST(BuildActivity, AntipodalPointsAreHalfTheEarthApart) {
    // Rounding puts the haversine's intermediate value just past 1 for these two points.
    std::vector<ImportedTrackpoint> points = {point(0), point(60)};
    points[0].latitude = 13.847;
    points[0].longitude = -96.815;
    points[1].latitude = -13.847;
    points[1].longitude = 83.185;
    PersistedRide ride = buildActivity(points, {}, std::nullopt, "GPX");
    EXPECT_NEAR(ride.distance, std::numbers::pi * 6'371'000.0, 1.0);
}

TEST(BuildActivity, PointsOffTheEarthAreDroppedLikePointsWithoutPosition) {
    std::vector<ImportedTrackpoint> points = {point(0), point(10), point(20), point(30)};
    points[0].latitude = 1e308;
    points[1].longitude = std::numeric_limits<double>::quiet_NaN();
    points[2].latitude = -90.5;
    PersistedRide ride = buildActivity(points, {}, std::nullopt, "FIT");
    EXPECT_EQ(ride.date, 30);
    EXPECT_EQ(ride.routePoints().size(), 1u);
    points.pop_back();
    EXPECT_THROW(buildActivity(points, {}, std::nullopt, "FIT"), RideImportError);
}

TEST(BuildActivity, OverflowingValuesAreStoredAsZero) {
    std::vector<ImportedTrackpoint> points = {point(0, 1e308), point(1, -1e308), point(2, 1e308)};
    std::vector<ImportedLapSummary> laps = {{1e308, 1e308, 1e308, 150.0, 170.0},
                                            {1e308, 1e308, 1e308, 160.0, 180.0}};
    PersistedRide ride = buildActivity(points, laps, std::nullopt, "TCX");
    for (double value : {ride.distance, ride.elevationGain, ride.averageHeartRate, ride.calories,
                         ride.activeTime}) {
        EXPECT_EQ(value, 0);
    }
    EXPECT_EQ(ride.maxHeartRate, 180);
    EXPECT_EQ(lapWeightedHeartRate(laps), 0.0);
}

TEST(BuildActivity, EmptyListFails) {
    EXPECT_THROW(buildActivity({}, {}, std::nullopt, "GPX"), RideImportError);
}

TEST(TrackElevationGain, IgnoresChangesOfTwoMetresOrLess) {
    std::vector<ImportedTrackpoint> points;
    for (double altitude : {100.0, 101.0, 103.0, 102.0, 99.0, 104.0}) {
        points.push_back(point(0, altitude));
    }
    points.insert(points.begin() + 2, point(0));
    EXPECT_EQ(trackElevationGain(points), 8);
    EXPECT_EQ(trackElevationGain({point(0, 10), point(0, 12), point(0, 14)}), 4);
    EXPECT_EQ(trackElevationGain({point(0)}), 0);
}

RideRef existingRide(Date start, double duration) {
    auto ride = std::make_shared<PersistedRide>();
    ride->date = start;
    ride->duration = duration;
    return ride;
}

TEST(IsDuplicateActivity, NeedsMoreThanHalfTheShorterActivity) {
    std::vector<RideRef> existing = {existingRide(36000, 3600)};
    EXPECT_TRUE(isDuplicateActivity(36000 + 1200, 3600, existing));
    EXPECT_FALSE(isDuplicateActivity(36000 + 1800, 3600, existing));
    EXPECT_TRUE(isDuplicateActivity(36000 + 100, 60, existing));  // short one inside
    EXPECT_FALSE(isDuplicateActivity(36000, 0, existing));
    EXPECT_FALSE(isDuplicateActivity(36000, 3600, {existingRide(36000, 0)}));
    EXPECT_FALSE(isDuplicateActivity(36000, 3600, {}));
}

class ImportFileListTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    // A logger of this test's own: its session file lies in this test's folder.
    ScopedSharedLogger logSession;
    test::TempDir folder;
    std::unique_ptr<RideStore> store = RideStore::open(folder / "store.sqlite");

    std::filesystem::path write(const std::string& name, const Bytes& bytes) {
        test::writeFileBytes(folder / name, bytes);
        return folder / name;
    }
};

TEST_F(ImportFileListTest, InsertsGoodFilesAndReportsFailures) {
    std::vector<std::filesystem::path> files = {
        write("a.gpx", bytesOf(kGpx)), write("b.gpx", bytesOf("<gpx>")), folder / "missing.gpx",
        write("c.gpx", bytesOf(kGpx))};
    std::vector<int> progress;
    FileListImportResult result = importFileList(
        *store, files, "Strava", PersistentLogger::shared(), [&](int done, int total) {
            EXPECT_EQ(total, 4);
            progress.push_back(done);
        });
    EXPECT_EQ(result.imported, 2);  // the same file twice gives two records
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4}));
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(result.failures[0].first, "b.gpx");
    EXPECT_TRUE(result.failures[0].second.starts_with("Failed to parse file: "));
    EXPECT_EQ(result.failures[1].first, "missing.gpx");
    EXPECT_FALSE(result.saveError);

    auto reopened = RideStore::open(folder / "store.sqlite");
    auto rides = reopened->allRecords();
    ASSERT_EQ(rides.size(), 2u);
    EXPECT_EQ(rides[0]->importSource, "Strava (GPX)");

    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Import] Import failed for b.gpx: Failed to parse file: "),
              std::string::npos);
    EXPECT_NE(log.find("[INFO] [Import] Imported 2 activities"), std::string::npos);
}

// The import writes to the logger it is handed, at that logger's level, whatever the process
// logger is and whatever the preferences say now.
TEST_F(ImportFileListTest, LogsOnlyToTheLoggerItIsGivenAtThatLoggersLevel) {
    PersistentLogger own({LogLevel::error, environment.root() / "own"});
    Preferences::shared().setString(kLogLevelKey, "DEBUG");
    std::vector<std::filesystem::path> files = {write("a.gpx", bytesOf(kGpx)),
                                                write("b.gpx", bytesOf("<gpx>"))};
    importFileList(*store, files, std::nullopt, own);
    own.setSettings({LogLevel::info, own.baseFolder()});
    importFileList(*store, {write("c.gpx", bytesOf(kGpx))}, std::nullopt, own);
    own.flush();
    std::string text = test::readFileText(*own.currentLogFile());
    EXPECT_NE(text.find("[ERROR] [Import] Import failed for b.gpx"), std::string::npos) << text;
    // Only the second run's summary: the first ran while the logger wrote errors alone.
    std::size_t summary = text.find("[INFO] [Import] Imported 1 activity\n");
    EXPECT_NE(summary, std::string::npos) << text;
    EXPECT_EQ(text.find("[INFO]"), summary) << text;
    EXPECT_EQ(text.rfind("[INFO]"), summary) << text;
    EXPECT_EQ(test::sessionLogText().find("[Import]"), std::string::npos);
}

std::string gpxBetween(const std::string& from, const std::string& to, const std::string& day) {
    return "<?xml version=\"1.0\"?><gpx><trk><trkseg><trkpt " + from + "><time>" + day +
           "T06:00:00Z</time></trkpt><trkpt " + to + "><time>" + day +
           "T07:00:00Z</time></trkpt></trkseg></trk></gpx>";
}

const std::string kOverflowingLapsTcx =
    "<?xml version=\"1.0\"?><TrainingCenterDatabase><Activities><Activity Sport=\"Running\">"
    "<Lap><TotalTimeSeconds>1e308</TotalTimeSeconds><AverageHeartRateBpm><Value>150</Value>"
    "</AverageHeartRateBpm><MaximumHeartRateBpm><Value>170</Value></MaximumHeartRateBpm>"
    "<Track><Trackpoint><Time>2024-05-03T06:00:00Z</Time><Position><LatitudeDegrees>47"
    "</LatitudeDegrees><LongitudeDegrees>8</LongitudeDegrees></Position></Trackpoint></Track>"
    "</Lap><Lap><TotalTimeSeconds>1e308</TotalTimeSeconds><AverageHeartRateBpm><Value>160"
    "</Value></AverageHeartRateBpm></Lap></Activity></Activities></TrainingCenterDatabase>";

TEST_F(ImportFileListTest, HostileValuesDoNotSinkTheBatch) {
    std::vector<std::filesystem::path> files = {
        write("good.gpx", bytesOf(kGpx)),
        write("antipodal.gpx", bytesOf(gpxBetween("lat=\"13.847\" lon=\"-96.815\"",
                                                  "lat=\"-13.847\" lon=\"83.185\"", "2024-05-02"))),
        write("huge.gpx",
              bytesOf(gpxBetween("lat=\"1e308\" lon=\"8\"", "lat=\"47\" lon=\"8\"", "2024-05-04"))),
        write("laps.tcx", bytesOf(kOverflowingLapsTcx))};
    FileListImportResult result =
        importFileList(*store, files, std::nullopt, PersistentLogger::shared());
    EXPECT_EQ(result.imported, 4);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_FALSE(result.saveError);
    EXPECT_EQ(RideStore::open(folder / "store.sqlite")->count({}), 4);
}

TEST_F(ImportFileListTest, ARecordTheStoreRefusesIsDroppedAndTheRestSaved) {
    auto refused = *parseISO8601Either("2024-05-02T06:00:00Z");
    test::refuseActivitiesWhere(folder / "store.sqlite", "NEW.date = " + std::to_string(refused));
    std::string other = "lat=\"47\" lon=\"8\"";
    FileListImportResult result =
        importFileList(*store,
                       {write("a.gpx", bytesOf(gpxBetween(other, other, "2024-05-01"))),
                        write("b.gpx", bytesOf(gpxBetween(other, other, "2024-05-02"))),
                        write("c.gpx", bytesOf(gpxBetween(other, other, "2024-05-03")))},
                       std::nullopt, PersistentLogger::shared());
    EXPECT_EQ(result.imported, 2);
    EXPECT_FALSE(result.saveError);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].first, "b.gpx");
    EXPECT_TRUE(result.failures[0].second.starts_with("could not be saved: "));
    EXPECT_NE(result.failures[0].second.find("refused"), std::string::npos);
    EXPECT_FALSE(store->hasChanges());
    // The refused record is gone from the pending changes: the next run saves on its own.
    importFileList(*store, {write("d.gpx", bytesOf(gpxBetween(other, other, "2024-05-04")))},
                   std::nullopt, PersistentLogger::shared());
    EXPECT_EQ(RideStore::open(folder / "store.sqlite")->count({}), 3);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Import] Import failed for b.gpx: could not be saved: "),
              std::string::npos);
    EXPECT_NE(log.find("[INFO] [Import] Imported 2 activities"), std::string::npos);
}

TEST_F(ImportFileListTest, AFailedSaveIsNeverLoggedAsASuccess) {
    test::makeCommitsFail(folder / "store.sqlite");
    FileListImportResult result = importFileList(*store, {write("a.gpx", bytesOf(kGpx))},
                                                 std::nullopt, PersistentLogger::shared());
    ASSERT_TRUE(result.saveError);
    EXPECT_EQ(RideStore::open(folder / "store.sqlite")->count({}), 0);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Import] Failed to save imported activities: "), std::string::npos);
    EXPECT_EQ(log.find("Imported 1 activity"), std::string::npos);
}

TEST_F(ImportFileListTest, NothingImportedMeansNoSaveAndNoSummaryLine) {
    FileListImportResult result = importFileList(*store, {write("x.txt", bytesOf("hello"))},
                                                 std::nullopt, PersistentLogger::shared());
    EXPECT_EQ(result.imported, 0);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].second,
              "Unsupported file type: .txt. Use GPX, TCX, or FIT files.");
    EXPECT_EQ(test::sessionLogText().find("Imported "), std::string::npos);
    EXPECT_EQ(store->count({}), 0);
}

TEST_F(ImportFileListTest, UnreadableFilesGetTheSystemReason) {
    std::filesystem::create_directory(folder / "folder.gpx");
    FileListImportResult result =
        importFileList(*store, {folder / "folder.gpx", folder / "gone.gpx"}, std::nullopt,
                       PersistentLogger::shared());
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(result.failures[0].second, "Cannot read file: Is a directory");
    EXPECT_EQ(result.failures[1].second, "Cannot read file: No such file or directory");
}

TEST_F(ImportFileListTest, OneActivityIsSingular) {
    importFileList(*store, {write("one.gpx", bytesOf(kGpx))}, std::nullopt,
                   PersistentLogger::shared());
    EXPECT_NE(test::sessionLogText().find("[INFO] [Import] Imported 1 activity\n"),
              std::string::npos);
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

ImportedTrackpoint sensorPoint(Date time, std::optional<double> watts,
                               std::optional<double> cadence) {
    return {47.0, 8.0, std::nullopt, time, std::nullopt, watts, cadence};
}

TEST(BuildActivity, PowerSeriesAndCadenceFromThePoints) {
    // Out of order on purpose: the series follows the sorted points.
    PersistedRide ride =
        buildActivity({sensorPoint(20, 300, 0), sensorPoint(10, 0, 80),
                       sensorPoint(15, std::nullopt, 100), sensorPoint(25, 150, std::nullopt)},
                      {}, ActivityType::cycling, "FIT");
    auto samples = ride.powerSamples();
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0].timestamp, 10);
    EXPECT_EQ(samples[0].watts, 0);
    EXPECT_EQ(samples[1].timestamp, 20);
    EXPECT_EQ(samples[2].watts, 150);
    // Zero watts count (coasting is riding); zero cadence does not.
    EXPECT_DOUBLE_EQ(ride.averagePower, 150);
    EXPECT_EQ(ride.maxPower, 300);
    EXPECT_DOUBLE_EQ(ride.averageCadence, 90);
}

TEST(BuildActivity, WithoutPowerTheFieldsKeepTheirDefaults) {
    PersistedRide ride =
        buildActivity({point(10, 100.0, 120.0), point(20)}, {}, std::nullopt, "GPX");
    EXPECT_FALSE(ride.powerData);
    EXPECT_EQ(ride.averagePower, 0);
    EXPECT_EQ(ride.maxPower, 0);
    EXPECT_EQ(ride.averageCadence, 0);
}

TEST(ImportActivityFile, CorpusPowerReachesTheRecordThroughGzipToo) {
    // Averages of the file's power and non-zero cadence, read with the FIT SDK.
    PersistedRide fit = importActivityFile(
        test::readFileBytes(test::corpusFile("fitparse__zwift-null-compressed-speed-dist.fit")),
        "zwift.fit", "Zwift");
    EXPECT_NEAR(fit.averagePower, 122.8645, 5e-5);
    EXPECT_EQ(fit.maxPower, 691);
    EXPECT_NEAR(fit.averageCadence, 84.6002, 5e-5);
    EXPECT_EQ(fit.powerSamples().size(), 1808u);

    PersistedRide plain =
        importActivityFile(test::readFileBytes(test::corpusFile("gpsbabel__edge705-power.tcx")),
                           "a.tcx", std::nullopt);
    PersistedRide gzip =
        importActivityFile(test::readFileBytes(test::corpusFile("gpsbabel__edge705-power.tcx.gz")),
                           "a.tcx.gz", std::nullopt);
    EXPECT_GT(plain.averagePower, 0);
    EXPECT_EQ(gzip.averagePower, plain.averagePower);
    EXPECT_EQ(gzip.maxPower, plain.maxPower);
    EXPECT_EQ(gzip.powerSamples().size(), plain.powerSamples().size());
}

TEST(ImportActivityFile, GarbagePowerIsDroppedAndNothingElseChanges) {
    auto gpx = [](const std::string& power) {
        std::string points;
        for (int i = 0; i < 3; ++i) {
            points += "<trkpt lat=\"47.0\" lon=\"8.00" + std::to_string(i) +
                      "\"><ele>100</ele><time>2024-05-01T06:30:1" + std::to_string(i) +
                      "Z</time><extensions><power>" + power + "</power></extensions></trkpt>";
        }
        return "<?xml version=\"1.0\"?><gpx><trk><trkseg>" + points + "</trkseg></trk></gpx>";
    };
    PersistedRide clean = importActivityFile(bytesOf(gpx("")), "a.gpx", std::nullopt);
    for (std::string garbage : {"1e12", "-40", "NaN", "inf", "lots"}) {
        PersistedRide ride = importActivityFile(bytesOf(gpx(garbage)), "a.gpx", std::nullopt);
        EXPECT_FALSE(ride.powerData) << garbage;
        EXPECT_EQ(ride.averagePower, 0) << garbage;
        EXPECT_EQ(ride.distance, clean.distance);
        EXPECT_EQ(ride.routePoints().size(), 3u);
    }
}

}  // namespace
}  // namespace vantrel
