// Sessions recorded without positions and multisport files, on real recordings of the corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "import/ActivityImporter.h"
#include "import/RideImportError.h"
#include "import/ZipImportService.h"
#include "import/ZipTestArchive.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

constexpr const char* kTriathlon = "sportslib__fr935-triathlon-4623204522.fit";

PersistedRide importCorpusFile(const std::string& name) {
    return importActivityFile(test::readFileBytes(test::corpusFile(name)), name, std::nullopt);
}

ImportedLegs importCorpusLegs(const std::string& name) {
    return importActivityLegs(test::readFileBytes(test::corpusFile(name)), name, "Garmin");
}

// What the reader saw, to check the record against: the builder's work is what is tested.
struct ReadValues {
    std::size_t points = 0;
    Date first = 0;
    Date last = 0;
    double maxHeartRate = 0;
};

ReadValues readValues(const std::string& name) {
    ImportedActivity read = readActivityFile(test::readFileBytes(test::corpusFile(name)), name);
    ReadValues values;
    values.points = read.unplacedPoints.size();
    if (read.unplacedPoints.empty()) return values;
    auto [first, last] =
        std::minmax_element(read.unplacedPoints.begin(), read.unplacedPoints.end(),
                            [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
    values.first = first->timestamp;
    values.last = last->timestamp;
    for (const auto& point : read.unplacedPoints)
        values.maxHeartRate = std::max(values.maxHeartRate, point.heartRate.value_or(0));
    return values;
}

struct UnplacedCase {
    std::string file;
    ActivityType kind;
    double distance;  // metres, from the independent reference of the corpus manifest
};

class UnplacedCorpusFile : public ::testing::TestWithParam<UnplacedCase> {};

TEST_P(UnplacedCorpusFile, ImportsWithoutRouteData) {
    const UnplacedCase& expected = GetParam();
    PersistedRide ride = importCorpusFile(expected.file);
    ReadValues read = readValues(expected.file);
    ASSERT_GT(read.points, 1u);
    EXPECT_EQ(ride.resolvedActivityType(), expected.kind);
    EXPECT_FALSE(ride.routeData.has_value());
    // Records and laps may round the same distance a centimetre apart.
    EXPECT_NEAR(ride.distance, expected.distance, 0.05);
    EXPECT_DOUBLE_EQ(ride.date, read.first);
    EXPECT_GE(ride.duration, read.last - read.first);
    EXPECT_GT(ride.activeTime, 0);
    EXPECT_LE(ride.activeTime, ride.duration + 1);
    if (read.maxHeartRate > 0) {
        // Devices write the lap maximum from the same readings.
        EXPECT_NEAR(ride.maxHeartRate, read.maxHeartRate, 3);
        EXPECT_GT(ride.averageHeartRate, 60);
        EXPECT_LE(ride.averageHeartRate, ride.maxHeartRate);
        EXPECT_FALSE(ride.heartRateSamples().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, UnplacedCorpusFile,
                         ::testing::Values(UnplacedCase{"fitparsers__edge530-indoor-hrv.fit",
                                                        ActivityType::indoorCycling, 6873.59},
                                           UnplacedCase{"fitparse__fr735xt-pool-swim-chained.fit",
                                                        ActivityType::swimming, 2606.04},
                                           UnplacedCase{"sportslib__fr945-treadmill-6860622783.fit",
                                                        ActivityType::treadmill, 10630.37},
                                           UnplacedCase{"sportslib__fr935-pool-swim-6688025408.tcx",
                                                        ActivityType::other, 2300}),
                         [](const auto& testInfo) { return std::to_string(testInfo.index); });

TEST(UnplacedSession, TreadmillTcxTakesTimesHeartRateAndTheLapDistance) {
    const char* tcx = R"(<?xml version="1.0"?>
<TrainingCenterDatabase><Activities><Activity Sport="Running"><Lap StartTime="2024-05-01T07:00:00Z">
<TotalTimeSeconds>1800</TotalTimeSeconds><DistanceMeters>5012.5</DistanceMeters>
<Calories>410</Calories><Track>
<Trackpoint><Time>2024-05-01T07:00:00Z</Time><DistanceMeters>0</DistanceMeters>
<HeartRateBpm><Value>120</Value></HeartRateBpm></Trackpoint>
<Trackpoint><Time>2024-05-01T07:29:50Z</Time><DistanceMeters>5012.5</DistanceMeters>
<HeartRateBpm><Value>160</Value></HeartRateBpm></Trackpoint>
</Track></Lap></Activity></Activities></TrainingCenterDatabase>)";
    PersistedRide ride = importActivityFile(bytesOf(tcx), "treadmill.tcx", std::nullopt);
    EXPECT_EQ(ride.activityType, "running");
    EXPECT_FALSE(ride.routeData);
    EXPECT_DOUBLE_EQ(ride.distance, 5012.5);
    // The lap outlasts the points by ten seconds of a paused belt.
    EXPECT_DOUBLE_EQ(ride.duration, 1800);
    EXPECT_DOUBLE_EQ(ride.activeTime, 1800);
    EXPECT_DOUBLE_EQ(ride.calories, 410);
    EXPECT_EQ(ride.heartRateSamples().size(), 2u);
    EXPECT_EQ(ride.importSource, "TCX");
}

TEST(UnplacedSession, DistanceCountersThatGoBackKeepTheLargestValue) {
    std::vector<ImportedTrackpoint> points(3);
    for (std::size_t i = 0; i < points.size(); ++i) points[i].timestamp = 100.0 * i;
    points[0].distance = 0;
    points[1].distance = 900;
    points[2].distance = 40;  // a foot pod that restarted
    ImportedActivity activity;
    activity.unplacedPoints = points;
    PersistedRide ride = buildActivity(activity, "FIT");
    EXPECT_DOUBLE_EQ(ride.distance, 900);
    EXPECT_DOUBLE_EQ(ride.duration, 200);
    EXPECT_DOUBLE_EQ(ride.activeTime, 200);
}

TEST(UnplacedSession, AFileWithNeitherPositionsNorTimesIsStillRefused) {
    ImportedActivity activity;
    activity.lapSummaries.push_back({600, 1000, 50, 140, 150, std::nullopt});
    EXPECT_THROW(buildActivity(activity, "FIT"), RideImportError);
    try {
        importCorpusFile("sportslib__empty-activities.fit");
        FAIL();
    } catch (const RideImportError& error) {
        EXPECT_STREQ(error.what(), "No GPS trackpoints found in the file.");
    }
}

// --- Multisport files ----------------------------------------------------------------------

TEST(MultisportFile, TriathlonBecomesSwimBikeAndRunWithoutTransitions) {
    ImportedActivity read =
        readActivityFile(test::readFileBytes(test::corpusFile(kTriathlon)), kTriathlon);
    ImportedLegs legs = importCorpusLegs(kTriathlon);
    EXPECT_FALSE(legs.warning);
    ASSERT_EQ(legs.rides.size(), 3u);
    EXPECT_EQ(legs.rides[0].activityType, "swimming");
    EXPECT_EQ(legs.rides[1].activityType, "cycling");
    EXPECT_EQ(legs.rides[2].activityType, "running");
    double lapDistance = 0;
    for (const auto& lap : read.lapSummaries) lapDistance += lap.distanceMeters;
    double legDistance = 0;
    for (std::size_t i = 0; i < legs.rides.size(); ++i) {
        const PersistedRide& leg = legs.rides[i];
        EXPECT_EQ(leg.importSource, "Garmin (FIT)");
        EXPECT_TRUE(leg.routeData);
        if (i > 0) {
            const PersistedRide& before = legs.rides[i - 1];
            // The transition between them belongs to neither leg.
            EXPECT_GT(leg.date, before.date + before.duration);
        }
        legDistance += leg.distance;
    }
    // Only the transitions' laps are left out.
    EXPECT_LT(legDistance, lapDistance);
    EXPECT_GT(legDistance, lapDistance - 2000);
    // No run at bike speed: 42.2 km on foot took hours, not the ride's pace.
    EXPECT_GT(legs.rides[2].duration, 3 * 3600);
    EXPECT_LT(legs.rides[2].distance, 43000);
}

TEST(MultisportFile, ChainedPoolSwimOfOneSportStaysOneActivity) {
    ImportedLegs legs = importCorpusLegs("fitparse__fr735xt-pool-swim-chained.fit");
    ASSERT_EQ(legs.rides.size(), 1u);
    EXPECT_FALSE(legs.warning);
    EXPECT_EQ(legs.rides[0].activityType, "swimming");
}

TEST(MultisportFile, EachLegCountsAndIsTestedForDuplicatesInABulkImport) {
    test::IsolatedEnvironment env;
    ScopedSharedLogger logSession;
    auto store = RideStore::open(env.root() / "store.sqlite");
    auto archive = env.root() / "race.zip";
    {
        test::ZipTestArchive zip(archive);
        zip.add(kTriathlon, test::readFileBytes(test::corpusFile(kTriathlon)));
    }
    BulkImportResult first = importZipArchives(*store, {archive}, "ZIP Import",
                                               BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(first.imported, 3);
    EXPECT_EQ(first.errors, 0);
    EXPECT_EQ(importCompletionText(first.imported, first.skipped),
              "Imported 3 activities. Skipped 0 duplicates.");
    BulkImportResult again = importZipArchives(*store, {archive}, "ZIP Import",
                                               BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(again.imported, 0);
    EXPECT_EQ(again.skipped, 3);
    EXPECT_EQ(store->count({}), 3);
}

}  // namespace
}  // namespace vantrel
