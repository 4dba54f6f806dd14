#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "export/ExportTestRides.h"
#include "export/GPXWriter.h"
#include "import/ActivityImporter.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using test::kMayFirst;

PersistedRide rideWithSeries(const std::vector<RoutePoint>& points,
                             const std::vector<HeartRateSample>& samples) {
    PersistedRide ride;
    ride.date = kMayFirst;
    ride.setRoutePoints(points);
    ride.setHeartRateSamples(samples);
    return ride;
}

RoutePoint pointAt(Date time) {
    return {Uuid::random(), {47.0, 8.5}, 400, time};
}

/// The heart rates written, one entry per point ("" for none).
std::vector<std::string> writtenHeartRates(const std::string& gpx) {
    std::vector<std::string> rates;
    std::size_t at = 0;
    while ((at = gpx.find("<trkpt ", at)) != std::string::npos) {
        std::size_t end = gpx.find("</trkpt>", at);
        std::size_t hr = gpx.find("<gpxtpx:hr>", at);
        rates.push_back(hr < end ? gpx.substr(hr + 11, gpx.find('<', hr + 11) - hr - 11) : "");
        at = end;
    }
    return rates;
}

TEST(GPXWriterTest, WritesTheDocumentLineByLine) {
    PersistedRide ride = rideWithSeries(
        {{Uuid::random(), {47.0, 8.54321}, 412.35, kMayFirst},
         {Uuid::random(), {5e-05, -0.5}, -3, kMayFirst + 10},
         {Uuid::random(), {-33.8688, 151.2093}, 0, kMayFirst + 50.75}},
        {{Uuid::random(), kMayFirst + 15, 150.9}, {Uuid::random(), kMayFirst - 5, 142.8}});
    ride.activityType = "trailRunning";
    ride.duration = 754;
    ride.activeTime = 700.4;
    EXPECT_EQ(buildGPX(ride),
              test::readFileText(test::testDataFile("export/trail_run_three_points.gpx")));
}

TEST(GPXWriterTest, ActivityWithoutTypeOrPointsIsAnEmptyRide) {
    PersistedRide ride;
    ride.date = kMayFirst;
    ride.duration = 3725;
    std::string gpx = buildGPX(ride);
    EXPECT_NE(gpx.find("    <name>Ride</name>\n"), std::string::npos);
    EXPECT_NE(gpx.find("    <type>ride</type>\n"), std::string::npos);
    EXPECT_NE(gpx.find("<desc>Duration: 1:02:05, Active Time: 1:02:05</desc>"), std::string::npos);
    EXPECT_NE(gpx.find("    <trkseg>\n    </trkseg>\n  </trk>\n</gpx>\n"), std::string::npos);
}

TEST(GPXWriterTest, UnknownTypeTextCountsAsNoType) {
    PersistedRide ride;
    ride.activityType = "Running";  // raw values are case-sensitive
    EXPECT_NE(buildGPX(ride).find("<name>Ride</name>"), std::string::npos);
}

TEST(GPXWriterTest, DurationTexts) {
    EXPECT_EQ(gpxDurationText(59.9), "0:59");
    EXPECT_EQ(gpxDurationText(754), "12:34");
    EXPECT_EQ(gpxDurationText(3599.99), "59:59");
    EXPECT_EQ(gpxDurationText(3725), "1:02:05");
    EXPECT_EQ(gpxDurationText(100 * 3600), "100:00:00");
    EXPECT_EQ(gpxDurationText(std::nan("")), "0:00");
    EXPECT_EQ(gpxDurationText(1e300), "0:00");
}

TEST(GPXWriterTest, CoordinateTexts) {
    EXPECT_EQ(gpxCoordinateText(47.0), "47.0");
    EXPECT_EQ(gpxCoordinateText(8.54321), "8.54321");
    EXPECT_EQ(gpxCoordinateText(0.0), "0.0");
    EXPECT_EQ(gpxCoordinateText(-180), "-180.0");
    EXPECT_EQ(gpxCoordinateText(0.0001), "0.0001");
    EXPECT_EQ(gpxCoordinateText(5e-05), "5e-05");
    EXPECT_EQ(gpxCoordinateText(-1.5e-07), "-1.5e-07");
    EXPECT_EQ(gpxCoordinateText(0.1 + 0.2), "0.30000000000000004");
}

TEST(GPXWriterTest, HeartRateNeedsASampleLessThanThirtySecondsAway) {
    Date t = kMayFirst;
    auto ride = rideWithSeries({pointAt(t), pointAt(t + 100)},
                               {{Uuid::random(), t + 29.9, 140}, {Uuid::random(), t + 130, 150}});
    EXPECT_EQ(writtenHeartRates(buildGPX(ride)), (std::vector<std::string>{"140", ""}));
}

TEST(GPXWriterTest, NearerSampleWinsAndTiesGoToTheEarlier) {
    Date t = kMayFirst;
    auto ride = rideWithSeries({pointAt(t), pointAt(t + 18), pointAt(t + 31)},
                               {{Uuid::random(), t + 5, 150},
                                {Uuid::random(), t - 5, 140},
                                {Uuid::random(), t + 33, 160}});
    // Stored out of order: matched as if sorted.
    EXPECT_EQ(writtenHeartRates(buildGPX(ride)), (std::vector<std::string>{"140", "150", "160"}));
}

TEST(GPXWriterTest, PointsOutsideTheSamplesLookOnlyAtTheNearestEnd) {
    Date t = kMayFirst;
    auto ride = rideWithSeries({pointAt(t - 10), pointAt(t + 1000)},
                               {{Uuid::random(), t, 130.9}, {Uuid::random(), t + 990, 170.2}});
    EXPECT_EQ(writtenHeartRates(buildGPX(ride)), (std::vector<std::string>{"130", "170"}));
}

TEST(GPXWriterTest, NoSamplesMeansNoExtensionsAnywhere) {
    auto ride = rideWithSeries({pointAt(kMayFirst), pointAt(kMayFirst + 1)}, {});
    std::string gpx = buildGPX(ride);
    EXPECT_EQ(gpx.find("<extensions>"), std::string::npos);
    EXPECT_EQ(writtenHeartRates(gpx).size(), 2u);
}

// Stored times come from other devices and archives: a time no four-digit year can hold once
// made the writer cut characters from an empty text and abort.
TEST(GPXWriterTest, TimesOutsideFourDigitYearsAreLeftOutButThePointsStay) {
    Date t = kMayFirst;
    auto ride = rideWithSeries({pointAt(t), pointAt(1e15), pointAt(-1e20), pointAt(t + 1),
                                pointAt(-63113904001.0), pointAt(252423993600.0)},
                               {{Uuid::random(), t, 140}});
    ride.date = std::nan("");
    ASSERT_EQ(ride.routePoints().size(), 6u);
    std::string gpx = buildGPX(ride);
    EXPECT_NE(gpx.find("  <metadata>\n  </metadata>\n"), std::string::npos) << gpx;
    EXPECT_EQ(writtenHeartRates(gpx).size(), 6u);
    EXPECT_EQ(gpx.find("<time></time>"), std::string::npos);
    std::vector<std::string> times;
    for (std::size_t at = 0; (at = gpx.find("<time>", at)) != std::string::npos; ++at)
        times.push_back(gpx.substr(at + 6, 20));
    EXPECT_EQ(times, (std::vector<std::string>{"2024-05-01T05:30:00Z", "2024-05-01T05:30:01Z"}));

    PersistedRide again = importActivityFile(bytesOf(gpx), "again.gpx", std::nullopt);
    EXPECT_EQ(again.routePoints().size(), 2u);  // the reader keeps only timed points
}

TEST(GPXWriterTest, FirstAndLastFormattableSecondsAreWritten) {
    auto ride = rideWithSeries({pointAt(-63113904000.0), pointAt(252423993599.5)}, {});
    ride.date = -1e20;
    std::string gpx = buildGPX(ride);
    EXPECT_NE(gpx.find("<time>0001-01-01T00:00:00Z</time>"), std::string::npos);
    EXPECT_NE(gpx.find("<time>9999-12-31T23:59:59Z</time>"), std::string::npos);
    EXPECT_EQ(gpx.find("<metadata>\n    <time>"), std::string::npos);
}

TEST(GPXWriterTest, ImportedFileReadsBackWithTheSamePointsAndKind) {
    for (const char* name : {"gpsbabel__fr110-14-laps.tcx", "georust__ridewithgps-wahoo.gpx"}) {
        SCOPED_TRACE(name);
        Bytes original = test::readFileBytes(test::corpusFile(name));
        PersistedRide imported = importActivityFile(original, name, std::nullopt);
        std::string gpx = buildGPX(imported);
        PersistedRide again = importActivityFile(bytesOf(gpx), "again.gpx", std::nullopt);
        auto before = imported.routePoints();
        auto after = again.routePoints();
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(after[i].coordinate, before[i].coordinate);
            EXPECT_NEAR(after[i].altitude, before[i].altitude, 0.05 + 1e-9);
            EXPECT_EQ(after[i].timestamp, std::floor(before[i].timestamp));
        }
        if (imported.resolvedActivityType()) {
            EXPECT_EQ(again.resolvedActivityType(), imported.resolvedActivityType());
        }
    }
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

/// The watts written, one entry per point ("" for none).
std::vector<std::string> writtenWatts(const std::string& gpx) {
    std::vector<std::string> watts;
    const std::string open = "<pwr:PowerInWatts>";
    std::size_t at = 0;
    while ((at = gpx.find("<trkpt ", at)) != std::string::npos) {
        std::size_t end = gpx.find("</trkpt>", at);
        std::size_t found = gpx.find(open, at);
        watts.push_back(found < end
                            ? gpx.substr(found + open.size(),
                                         gpx.find('<', found + open.size()) - found - open.size())
                            : "");
        at = end;
    }
    return watts;
}

TEST(GPXWriterPower, PowerOfTheSameSecondBesideTheHeartRate) {
    PersistedRide ride = rideWithSeries({pointAt(kMayFirst), pointAt(kMayFirst + 10),
                                         pointAt(kMayFirst + 20), pointAt(kMayFirst + 30)},
                                        {{Uuid::random(), kMayFirst, 140}});
    ride.setPowerSamples({{Uuid::random(), kMayFirst + 0.4, 210.6},
                          {Uuid::random(), kMayFirst + 11, 0},
                          {Uuid::random(), kMayFirst + 22, 300}});
    std::string gpx = buildGPX(ride);
    EXPECT_NE(
        gpx.find("  xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\"\n"
                 "  xmlns:pwr=\"http://www.garmin.com/xmlschemas/PowerExtension/v1\">\n"),
        std::string::npos);
    EXPECT_EQ(writtenWatts(gpx), (std::vector<std::string>{"211", "0", "", ""}));
    EXPECT_NE(gpx.find("            <gpxtpx:hr>140</gpxtpx:hr>\n"
                       "          </gpxtpx:TrackPointExtension>\n"
                       "          <pwr:PowerInWatts>211</pwr:PowerInWatts>\n"
                       "        </extensions>\n"),
              std::string::npos);
}

TEST(GPXWriterPower, WithoutPowerTheDocumentIsAsBefore) {
    PersistedRide ride = rideWithSeries({pointAt(kMayFirst)}, {});
    std::string gpx = buildGPX(ride);
    EXPECT_EQ(gpx.find("pwr"), std::string::npos);
    EXPECT_NE(gpx.find("TrackPointExtension/v1\">\n  <metadata>"), std::string::npos);
}

TEST(GPXWriterPower, ExportedPowerReadsBack) {
    const char* name = "togeojson__garmin-connect-edge520.tcx";
    PersistedRide imported =
        importActivityFile(test::readFileBytes(test::corpusFile(name)), name, std::nullopt);
    ASSERT_GT(imported.averagePower, 0);
    PersistedRide again = importActivityFile(bytesOf(buildGPX(imported)), "a.gpx", std::nullopt);
    // Every sample comes back on its own point; a point without one may take a neighbour's
    // from within the same second.
    std::map<Date, double> after;
    for (const auto& sample : again.powerSamples()) after.emplace(sample.timestamp, sample.watts);
    for (const auto& sample : imported.powerSamples()) {
        auto found = after.find(std::floor(sample.timestamp));
        ASSERT_NE(found, after.end());
        EXPECT_EQ(found->second, std::round(sample.watts));
    }
    EXPECT_EQ(again.maxPower, imported.maxPower);
}

}  // namespace
}  // namespace vantrel
