#include <gtest/gtest.h>

#include "import/GPXParser.h"
#include "import/RideImportError.h"

namespace vantrel {
namespace {

ImportedActivity parseGpx(const std::string& body) {
    std::string document =
        "<?xml version=\"1.0\"?><gpx xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">" +
        body + "</gpx>";
    return GPXParser().parse(bytesOf(document));
}

std::string trkpt(const std::string& attributes, const std::string& children) {
    return "<trk><trkseg><trkpt " + attributes + ">" + children + "</trkpt></trkseg></trk>";
}

const std::string kTime = "<time>2024-05-01T06:30:15Z</time>";

TEST(GPXParser, ReadsPositionElevationAndTime) {
    auto result = parseGpx(trkpt("lat=\"47.1\" lon=\"8.5\"", "<ele>412.3</ele>" + kTime));
    ASSERT_EQ(result.trackpoints.size(), 1u);
    const auto& point = result.trackpoints[0];
    EXPECT_DOUBLE_EQ(point.latitude, 47.1);
    EXPECT_DOUBLE_EQ(point.longitude, 8.5);
    EXPECT_EQ(point.altitude, 412.3);
    EXPECT_EQ(point.timestamp, *parseISO8601("2024-05-01T06:30:15Z", false));
    EXPECT_FALSE(point.heartRate);
    EXPECT_TRUE(result.lapSummaries.empty());
}

TEST(GPXParser, KeepsFractionalSeconds) {
    auto result =
        parseGpx(trkpt("lat=\"47.1\" lon=\"8.5\"", "<time>2024-05-01T06:30:15.250Z</time>"));
    ASSERT_EQ(result.trackpoints.size(), 1u);
    EXPECT_DOUBLE_EQ(result.trackpoints[0].timestamp - *parseISO8601Either("2024-05-01T06:30:15Z"),
                     0.25);
}

TEST(GPXParser, DropsPointsWithoutUsableTimeOrPosition) {
    auto result = parseGpx(trkpt("lat=\"47.1\" lon=\"8.5\"", "") +
                           trkpt("lat=\"47.1\" lon=\"8.5\"", "<time>2024-05-01 06:30:15</time>") +
                           trkpt("lat=\" 47.1\" lon=\"8.5\"", kTime) + trkpt("lon=\"8.5\"", kTime) +
                           trkpt("lat=\"47.1\" lon=\"east\"", kTime));
    EXPECT_TRUE(result.trackpoints.empty());
}

TEST(GPXParser, PositionsOffTheEarthCountAsMissing) {
    auto result = parseGpx(
        trkpt("lat=\"1e308\" lon=\"8.5\"", kTime) + trkpt("lat=\"47.1\" lon=\"-1e308\"", kTime) +
        trkpt("lat=\"90.0001\" lon=\"8.5\"", kTime) + trkpt("lat=\"47.1\" lon=\"180.5\"", kTime) +
        trkpt("lat=\"-90\" lon=\"-180\"", kTime));
    ASSERT_EQ(result.trackpoints.size(), 1u);
    EXPECT_EQ(result.trackpoints[0].latitude, -90.0);
    EXPECT_EQ(result.trackpoints[0].longitude, -180.0);
}

std::string trackNameIn(const std::string& encoding, const Bytes& encodedName) {
    Bytes document =
        bytesOf("<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><gpx><trk><name>");
    document.insert(document.end(), encodedName.begin(), encodedName.end());
    Bytes rest = bytesOf("</name><trkseg><trkpt lat=\"1\" lon=\"2\">" + kTime +
                         "</trkpt></trkseg></trk></gpx>");
    document.insert(document.end(), rest.begin(), rest.end());
    auto result = GPXParser().parse(document);
    EXPECT_EQ(result.trackpoints.size(), 1u) << encoding;
    return result.name.value_or("");
}

TEST(GPXParser, ReadsSingleByteEncodingsOfOlderTools) {
    // "Café – 5 €" in windows-1252; the dash and the euro sign lie where ISO-8859-1 has controls.
    Bytes windows = {'C', 'a', 'f', 0xE9, ' ', 0x96, ' ', '5', ' ', 0x80};
    EXPECT_EQ(trackNameIn("windows-1252", windows), "Caf\u00e9 \u2013 5 \u20ac");
    // "Zürich Œ €" in ISO-8859-15, whose 0xBC and 0xA4 differ from ISO-8859-1.
    Bytes latin9 = {'Z', 0xFC, 'r', 'i', 'c', 'h', ' ', 0xBC, ' ', 0xA4};
    EXPECT_EQ(trackNameIn("ISO-8859-15", latin9), "Z\u00fcrich \u0152 \u20ac");
    EXPECT_EQ(trackNameIn("KOI8-R", {0xE1}), "\u0410");
}

TEST(GPXParser, MultiByteAndUnknownEncodingsFailNamingTheEncoding) {
    for (std::string encoding : {"Shift_JIS", "EUC-JP", "no-such-encoding"}) {
        std::string document = "<?xml version=\"1.0\" encoding=\"" + encoding +
                               "\"?><gpx><trk><name>x</name></trk></gpx>";
        try {
            GPXParser().parse(bytesOf(document));
            FAIL() << encoding;
        } catch (const RideImportError& error) {
            EXPECT_NE(std::string(error.what()).find("unsupported encoding \"" + encoding + "\""),
                      std::string::npos)
                << error.what();
        }
    }
}

TEST(GPXParser, ReadsHeartRateFromAnyNamespace) {
    auto result =
        parseGpx(trkpt("lat=\"1\" lon=\"2\"",
                       kTime + "<extensions><gpxtpx:TrackPointExtension><gpxtpx:hr>142</gpxtpx:hr>"
                               "</gpxtpx:TrackPointExtension></extensions>"));
    ASSERT_EQ(result.trackpoints.size(), 1u);
    EXPECT_EQ(result.trackpoints[0].heartRate, 142.0);
}

TEST(GPXParser, TrimsElementTextButNotNumbersWithTrailingText) {
    auto result = parseGpx(trkpt("lat=\"1\" lon=\"2\"", "<ele>\n  12.5 \t</ele>" + kTime) +
                           trkpt("lat=\"1\" lon=\"2\"", "<ele>12.5m</ele><hr></hr>" + kTime));
    ASSERT_EQ(result.trackpoints.size(), 2u);
    EXPECT_EQ(result.trackpoints[0].altitude, 12.5);
    EXPECT_FALSE(result.trackpoints[1].altitude);
    EXPECT_FALSE(result.trackpoints[1].heartRate);
}

TEST(GPXParser, ValuesNeverLeakIntoTheNextPoint) {
    auto result = parseGpx(trkpt("lat=\"1\" lon=\"2\"", "<ele>5</ele><hr>100</hr>" + kTime) +
                           trkpt("lat=\"1\" lon=\"2\"", kTime));
    ASSERT_EQ(result.trackpoints.size(), 2u);
    EXPECT_FALSE(result.trackpoints[1].altitude);
    EXPECT_FALSE(result.trackpoints[1].heartRate);
}

TEST(GPXParser, LastNameAndTypeOutsideTrackpointsWin) {
    auto result = parseGpx(
        "<metadata><name>A</name></metadata><trk><name> B </name>"
        "<type>cycling</type><trkseg><trkpt lat=\"1\" lon=\"2\"><name>C</name>"
        "<type>running</type>" +
        kTime + "</trkpt></trkseg></trk>");
    EXPECT_EQ(result.name, "B");
    EXPECT_EQ(result.activityType, ActivityType::cycling);
}

TEST(GPXParser, TypeTextMapsToKinds) {
    EXPECT_EQ(parseGpx("<trk><type>unheard of</type></trk>").activityType, ActivityType::other);
    EXPECT_FALSE(parseGpx("<trk></trk>").activityType);
}

TEST(GPXParser, RoutePointsAndWaypointsAreNotTrackpoints) {
    auto result = parseGpx("<wpt lat=\"1\" lon=\"2\">" + kTime + "</wpt><rte><rtept lat=\"1\" " +
                           "lon=\"2\">" + kTime + "</rtept></rte>");
    EXPECT_TRUE(result.trackpoints.empty());
}

TEST(GPXParser, MalformedDocumentsFailWithTheParserDescription) {
    for (std::string document : {"<gpx><trk></gpx>", "", "<gpx><bad:trk/></gpx>", "plain text"}) {
        try {
            GPXParser().parse(bytesOf(document));
            FAIL() << document;
        } catch (const RideImportError& error) {
            EXPECT_EQ(error.kind(), RideImportError::Kind::parsingFailed) << document;
            EXPECT_TRUE(std::string(error.what()).starts_with("Failed to parse file: "));
            EXPECT_NE(std::string(error.what()).find("line "), std::string::npos);
        }
    }
}

TEST(GPXParser, EntityDeclarationsAreRefused) {
    std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE gpx [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
        "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
        "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "]><gpx><trk><name>&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;</name></trk></gpx>";
    std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE gpx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
        "<gpx><trk><name>&x;</name></trk></gpx>";
    for (const auto& document : {laughs, external}) {
        try {
            GPXParser().parse(bytesOf(document));
            FAIL();
        } catch (const RideImportError& error) {
            EXPECT_TRUE(std::string(error.what())
                            .starts_with("Failed to parse file: entity declarations are not "
                                         "allowed at line 1"))
                << error.what();
        }
    }
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// Two dialects seen in real exports: Garmin's power extension (its namespace declared with
// either of two URIs) beside the track point extension v2, and a bare <power> element.
TEST(GPXParserPower, PowerExtensionBareElementAndCadence) {
    std::string document =
        "<?xml version=\"1.0\"?><gpx xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\" "
        "xmlns:pwr=\"http://www.garmin.com/xmlschemas/PowerExtension/v1\" "
        "xmlns:p2=\"http://www.garmin.com/xmlschemas/PowerExtensionv1.xsd\"><trk><trkseg>"
        "<trkpt lat=\"1\" lon=\"2\">" +
        kTime +
        "<extensions><pwr:PowerInWatts>212</pwr:PowerInWatts><gpxtpx:TrackPointExtension>"
        "<gpxtpx:hr>140</gpxtpx:hr><gpxtpx:cad>91</gpxtpx:cad></gpxtpx:TrackPointExtension>"
        "</extensions></trkpt>"
        "<trkpt lat=\"1\" lon=\"2\">" +
        kTime +
        "<extensions><p2:PowerInWatts>0</p2:PowerInWatts></extensions></trkpt>"
        "<trkpt lat=\"1\" lon=\"2\">" +
        kTime +
        "<extensions><power>305</power><gpxtpx:TrackPointExtension><gpxtpx:cad>0</gpxtpx:cad>"
        "</gpxtpx:TrackPointExtension></extensions></trkpt>"
        "<trkpt lat=\"1\" lon=\"2\">" +
        kTime +
        "<extensions><power>1e9</power><gpxtpx:TrackPointExtension><gpxtpx:cad>-3</gpxtpx:cad>"
        "</gpxtpx:TrackPointExtension></extensions></trkpt>"
        "</trkseg></trk></gpx>";
    auto points = GPXParser().parse(bytesOf(document)).trackpoints;
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].power, 212.0);
    EXPECT_EQ(points[0].cadence, 91.0);
    EXPECT_EQ(points[0].heartRate, 140.0);
    EXPECT_EQ(points[1].power, 0.0);
    EXPECT_EQ(points[2].power, 305.0);
    EXPECT_EQ(points[2].cadence, 0.0);
    EXPECT_EQ(points[3].power, std::nullopt);
    EXPECT_EQ(points[3].cadence, std::nullopt);
}

TEST(GPXParserPower, PowerOutsideAPointsExtensionsIsNotPower) {
    auto points = parseGpx(trkpt("lat=\"1\" lon=\"2\"", kTime + "<power>250</power>")).trackpoints;
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].power, std::nullopt);
    // Values do not carry over from one point to the next.
    points =
        parseGpx("<trk><trkseg><trkpt lat=\"1\" lon=\"2\">" + kTime +
                 "<extensions><power>250</power></extensions></trkpt><trkpt lat=\"1\" lon=\"2\">" +
                 kTime + "</trkpt></trkseg></trk>")
            .trackpoints;
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].power, 250.0);
    EXPECT_EQ(points[1].power, std::nullopt);
}

}  // namespace
}  // namespace vantrel
