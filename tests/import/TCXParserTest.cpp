#include <gtest/gtest.h>

#include "import/RideImportError.h"
#include "import/TCXParser.h"

namespace vantrel {
namespace {

ImportedActivity parseTcx(const std::string& activities) {
    std::string document =
        "<?xml version=\"1.0\"?><TrainingCenterDatabase "
        "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\"><Activities>" +
        activities + "</Activities></TrainingCenterDatabase>";
    return TCXParser().parse(bytesOf(document));
}

std::string trackpoint(const std::string& children) {
    return "<Trackpoint>" + children + "</Trackpoint>";
}

std::string lap(const std::string& values, const std::string& trackpoints) {
    return "<Lap StartTime=\"2024-05-01T07:30:15Z\">" + values + "<Track>" + trackpoints +
           "</Track></Lap>";
}

const std::string kTime = "<Time>2024-05-01T07:30:15Z</Time>";
const std::string kPosition =
    "<Position><LatitudeDegrees>47.1</LatitudeDegrees><LongitudeDegrees>8.5</LongitudeDegrees>"
    "</Position>";

TEST(TCXParser, ReadsTrackpointWithOptionalValuesAbsent) {
    auto result = parseTcx("<Activity Sport=\"Biking\">" + lap("", trackpoint(kTime + kPosition)) +
                           "</Activity>");
    ASSERT_EQ(result.trackpoints.size(), 1u);
    EXPECT_DOUBLE_EQ(result.trackpoints[0].latitude, 47.1);
    EXPECT_DOUBLE_EQ(result.trackpoints[0].longitude, 8.5);
    EXPECT_FALSE(result.trackpoints[0].altitude);
    EXPECT_FALSE(result.trackpoints[0].heartRate);
    EXPECT_FALSE(result.name);
    EXPECT_EQ(result.activityType, ActivityType::cycling);
}

TEST(TCXParser, ReadsAltitudeHeartRateAndBothTimeForms) {
    auto result = parseTcx(
        lap("", trackpoint("<Time>2024-05-01T07:30:15.250Z</Time>" + kPosition +
                           "<AltitudeMeters>412.5</AltitudeMeters><HeartRateBpm><Value>\n 142 \n"
                           "</Value></HeartRateBpm>") +
                    trackpoint("<Time>2024-05-01T09:30:15+02:00</Time>" + kPosition +
                               "<HeartRateBpm><Value>142bpm</Value></HeartRateBpm>")));
    ASSERT_EQ(result.trackpoints.size(), 2u);
    EXPECT_EQ(result.trackpoints[0].altitude, 412.5);
    EXPECT_EQ(result.trackpoints[0].heartRate, 142.0);
    EXPECT_DOUBLE_EQ(result.trackpoints[1].timestamp - result.trackpoints[0].timestamp, -0.25);
    EXPECT_FALSE(result.trackpoints[1].heartRate);
}

TEST(TCXParser, DropsTrackpointsWithoutPositionOrParsableTime) {
    auto result = parseTcx(lap("", trackpoint(kTime) +
                                       trackpoint("<Time>2024-05-01 07:30:15</Time>" + kPosition) +
                                       trackpoint(kPosition)));
    EXPECT_TRUE(result.trackpoints.empty());
    EXPECT_EQ(result.lapSummaries.size(), 1u);
}

TEST(TCXParser, PositionsOffTheEarthCountAsMissing) {
    auto position = [](const std::string& lat, const std::string& lon) {
        return "<Position><LatitudeDegrees>" + lat + "</LatitudeDegrees><LongitudeDegrees>" + lon +
               "</LongitudeDegrees></Position>";
    };
    auto result = parseTcx(lap("", trackpoint(kTime + position("1e308", "8.5")) +
                                       trackpoint(kTime + position("-91", "8.5")) +
                                       trackpoint(kTime + position("47.1", "-180.01")) +
                                       trackpoint(kTime + kPosition)));
    ASSERT_EQ(result.trackpoints.size(), 1u);
    EXPECT_EQ(result.trackpoints[0].latitude, 47.1);
}

TEST(TCXParser, LapValuesIgnoreTrackpointDistances) {
    auto result =
        parseTcx(lap("<TotalTimeSeconds>600.5</TotalTimeSeconds><DistanceMeters>5000.5"
                     "</DistanceMeters><Calories>321</Calories><AverageHeartRateBpm>"
                     "<Value>140</Value></AverageHeartRateBpm><MaximumHeartRateBpm>"
                     "<Value>171</Value></MaximumHeartRateBpm>",
                     trackpoint(kTime + kPosition + "<DistanceMeters>9</DistanceMeters>")));
    ASSERT_EQ(result.lapSummaries.size(), 1u);
    EXPECT_EQ(result.lapSummaries[0], (ImportedLapSummary{600.5, 5000.5, 321, 140.0, 171.0}));
}

TEST(TCXParser, MissingOrBadLapValuesGiveZeroOrAbsent) {
    auto result = parseTcx(lap("<TotalTimeSeconds>ten</TotalTimeSeconds>", "") +
                           lap("<DistanceMeters>12</DistanceMeters>", ""));
    ASSERT_EQ(result.lapSummaries.size(), 2u);
    EXPECT_EQ(result.lapSummaries[0], ImportedLapSummary{});
    EXPECT_EQ(result.lapSummaries[1], (ImportedLapSummary{0, 12, 0, std::nullopt, std::nullopt}));
}

TEST(TCXParser, SportAttributeMapsExactly) {
    EXPECT_EQ(parseTcx("<Activity Sport=\"Running\"/>").activityType, ActivityType::running);
    EXPECT_EQ(parseTcx("<Activity Sport=\"biking\"/>").activityType, ActivityType::other);
    EXPECT_EQ(parseTcx("<Activity Sport=\"Other\"/>").activityType, ActivityType::other);
    EXPECT_FALSE(parseTcx("<Activity/>").activityType);
    EXPECT_FALSE(parseTcx("").activityType);
    // Each Activity overwrites the sport of the one before.
    EXPECT_FALSE(parseTcx("<Activity Sport=\"Running\"/><Activity/>").activityType);
}

TEST(TCXParser, PrefixedElementsAreNotRecognised) {
    std::string document =
        "<ns1:TrainingCenterDatabase xmlns:ns1=\"x\"><ns1:Trackpoint>"
        "<ns1:Time>2024-05-01T07:30:15Z</ns1:Time><ns1:Position><ns1:LatitudeDegrees>1"
        "</ns1:LatitudeDegrees><ns1:LongitudeDegrees>2</ns1:LongitudeDegrees></ns1:Position>"
        "</ns1:Trackpoint></ns1:TrainingCenterDatabase>";
    EXPECT_TRUE(TCXParser().parse(bytesOf(document)).trackpoints.empty());
}

TEST(TCXParser, TruncatedDocumentFailsWithNothingPartial) {
    std::string document =
        "<TrainingCenterDatabase><Activities><Activity Sport=\"Running\">" +
        lap("<DistanceMeters>1</DistanceMeters>", trackpoint(kTime + kPosition)) + "<Lap><Tr";
    try {
        TCXParser().parse(bytesOf(document));
        FAIL();
    } catch (const RideImportError& error) {
        EXPECT_EQ(error.kind(), RideImportError::Kind::parsingFailed);
        EXPECT_TRUE(std::string(error.what()).starts_with("Failed to parse file: "));
    }
}

}  // namespace
}  // namespace vantrel

#include <algorithm>
#include <fstream>
#include <sstream>

#include "support/TestSupport.h"

namespace vantrel {
namespace {

TEST(TCXParserPower, CadenceWattsAndRunCadenceUnderAnyPrefix) {
    auto result = parseTcx(
        "<Activity Sport=\"Biking\">" +
        lap("", trackpoint(kTime + kPosition +
                           "<Cadence>88</Cadence><Extensions><ns3:TPX><ns3:Speed>5</ns3:Speed>"
                           "<ns3:Watts>231</ns3:Watts></ns3:TPX></Extensions>") +
                    trackpoint(kTime + kPosition +
                               "<Extensions><x:TPX><x:Watts>-5</x:Watts>"
                               "<x:RunCadence>86</x:RunCadence></x:TPX></Extensions>") +
                    trackpoint(kTime + kPosition +
                               "<Cadence>301</Cadence><Extensions><TPX><Watts>NaN</Watts>"
                               "</TPX></Extensions>")) +
        "</Activity>");
    ASSERT_EQ(result.trackpoints.size(), 3u);
    EXPECT_EQ(result.trackpoints[0].power, 231.0);
    EXPECT_EQ(result.trackpoints[0].cadence, 88.0);
    EXPECT_EQ(result.trackpoints[1].power, std::nullopt);  // negative
    EXPECT_EQ(result.trackpoints[1].cadence, 86.0);
    EXPECT_EQ(result.trackpoints[2].power, std::nullopt);    // not a number
    EXPECT_EQ(result.trackpoints[2].cadence, std::nullopt);  // beyond any cadence
}

TEST(TCXParserPower, LapCadenceIsNoTrackpointValue) {
    auto result = parseTcx(
        "<Activity>" + lap("<Cadence>90</Cadence>", trackpoint(kTime + kPosition)) + "</Activity>");
    ASSERT_EQ(result.trackpoints.size(), 1u);
    EXPECT_EQ(result.trackpoints[0].cadence, std::nullopt);
}

/// The text between `open` and the next `close` after `from` inside [from, end), or nothing.
std::optional<double> valueBetween(const std::string& text, std::size_t from, std::size_t end,
                                   const std::string& open, const std::string& close) {
    auto start = text.find(open, from);
    if (start == std::string::npos || start >= end) return std::nullopt;
    start += open.size();
    return std::stod(text.substr(start, text.find(close, start) - start));
}

// The file is read here with plain text search, not with an XML reader: each trackpoint with a
// position, and its Watts and Cadence if it has them.
TEST(TCXParserPower, CorpusRideWithPowerMatchesAPlainTextReading) {
    std::string text;
    {
        std::ifstream file(test::corpusFile("gpsbabel__edge705-power.tcx"), std::ios::binary);
        std::stringstream buffer;
        buffer << file.rdbuf();
        text = buffer.str();
    }
    std::vector<std::optional<double>> watts, cadence;
    for (std::size_t at = text.find("<Trackpoint>"); at != std::string::npos;
         at = text.find("<Trackpoint>", at + 1)) {
        std::size_t end = text.find("</Trackpoint>", at);
        if (text.find("<LatitudeDegrees>", at) >= end) continue;
        watts.push_back(valueBetween(text, at, end, "<ns3:Watts>", "</ns3:Watts>"));
        cadence.push_back(valueBetween(text, at, end, "<Cadence>", "</Cadence>"));
    }
    auto points = TCXParser()
                      .parse(test::readFileBytes(test::corpusFile("gpsbabel__edge705-power.tcx")))
                      .trackpoints;
    ASSERT_EQ(points.size(), watts.size());
    ASSERT_GT(std::count_if(watts.begin(), watts.end(), [](auto w) { return w.has_value(); }),
              1000);
    for (std::size_t i = 0; i < points.size(); ++i) {
        ASSERT_EQ(points[i].power, watts[i]) << i;
        ASSERT_EQ(points[i].cadence, cadence[i]) << i;
    }
}

}  // namespace
}  // namespace vantrel
