// Reading an activity straight from its file reads GPX and TCX into the XML parser's own buffer;
// these tests hold it to the result of reading the same bytes from memory, and hold both to the
// values written, for long documents and for documents that arrive in pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "import/ActivityImporter.h"
#include "import/FileBytes.h"
#include "import/GPXParser.h"
#include "import/RideImportError.h"
#include "import/TCXParser.h"
#include "import/XmlReader.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

// Everything a reader returns, or the error it threw, as one comparable text.
template <typename Read>
std::string outcome(Read read) {
    try {
        ImportedActivity activity = read();
        std::string text = "name=" + activity.name.value_or("-") + " type=" +
                           (activity.activityType ? std::string(rawValue(*activity.activityType))
                                                  : std::string("-"));
        char buffer[200];
        for (const auto& p : activity.trackpoints) {
            std::snprintf(buffer, sizeof buffer, "\n%.17g %.17g %.17g %.17g %.17g", p.latitude,
                          p.longitude, p.altitude.value_or(-1e300), p.timestamp,
                          p.heartRate.value_or(-1e300));
            text += buffer;
        }
        for (const auto& lap : activity.lapSummaries) {
            std::snprintf(buffer, sizeof buffer, "\nlap %.17g %.17g %.17g %.17g %.17g",
                          lap.totalTimeSeconds, lap.distanceMeters, lap.calories,
                          lap.averageHeartRate.value_or(-1e300), lap.maxHeartRate.value_or(-1e300));
            text += buffer;
        }
        return text;
    } catch (const std::exception& error) {
        return std::string("error: ") + error.what();
    }
}

std::string fromFile(const std::filesystem::path& file) {
    return outcome([&] { return readActivityFile(file); });
}

std::string fromMemory(const std::filesystem::path& file) {
    return outcome([&] { return readActivityFile(readWholeFile(file), file.filename().string()); });
}

class ActivityFileReading : public ::testing::Test {
  protected:
    std::filesystem::path write(const std::string& name, const std::string& text) {
        auto file = m_dir / name;
        test::writeFileBytes(file, bytesOf(text));
        return file;
    }

  private:
    test::TempDir m_dir;
};

// A GPX track of `count` points whose values follow from their index, padded with `padding`
// spaces per point so that tokens fall across slice boundaries at shifting offsets.
std::string numberedGpx(int count, int padding) {
    std::string text =
        "<?xml version=\"1.0\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">"
        "<trk><name>Numbered</name><type>running</type><trkseg>\n";
    char buffer[400];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer,
                      "<trkpt lat=\"%d.25\" lon=\"-%d.5\">%*s<ele> %d.75 </ele><time>2024-05-01T"
                      "%02d:%02d:%02dZ</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:hr>"
                      "%d</gpxtpx:hr></gpxtpx:TrackPointExtension></extensions></trkpt>\n",
                      i % 80, i % 170, padding + i % 7, "", i, i / 3600, i / 60 % 60, i % 60,
                      60 + i % 120);
        text += buffer;
    }
    return text + "</trkseg></trk></gpx>\n";
}

void expectNumberedPoints(const ImportedActivity& activity, int count) {
    ASSERT_EQ(activity.trackpoints.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(activity.name, "Numbered");
    Date start = activity.trackpoints.front().timestamp;
    for (int i = 0; i < count; ++i) {
        const auto& p = activity.trackpoints[static_cast<std::size_t>(i)];
        ASSERT_EQ(p.latitude, i % 80 + 0.25) << i;
        ASSERT_EQ(p.longitude, -(i % 170 + 0.5)) << i;
        ASSERT_EQ(p.altitude, i + 0.75) << i;
        ASSERT_EQ(p.timestamp, start + i) << i;
        ASSERT_EQ(p.heartRate, 60 + i % 120) << i;
    }
}

TEST_F(ActivityFileReading, LongDocumentsKeepEveryValueAcrossSlices) {
    constexpr int kCount = 4000;  // About 1 MB.
    for (int padding : {0, 1, 13}) {
        std::string gpx = numberedGpx(kCount, padding);
        ASSERT_GT(gpx.size(), 8 * kXmlSliceSize);
        auto file = write("track.gpx", gpx);
        expectNumberedPoints(readActivityFile(file), kCount);
        Bytes bytes = bytesOf(gpx);
        expectNumberedPoints(GPXParser().parse(bytes), kCount);
    }
}

TEST(XmlSourceReading, DocumentsLongerThanExpectedGoOnInSlices) {
    constexpr int kCount = 3000;
    std::string gpx = numberedGpx(kCount, 5);
    // Pieces of odd, changing lengths, as a pipe or a growing file would give them.
    for (std::size_t expected : {std::size_t{0}, std::size_t{1000}, gpx.size() - 1}) {
        std::size_t offset = 0;
        std::size_t piece = 1;
        XmlSource source = [&](char* buffer, std::size_t capacity) {
            piece = piece * 7 % 9973 + 1;
            std::size_t length = std::min({capacity, piece, gpx.size() - offset});
            gpx.copy(buffer, length, offset);
            offset += length;
            return length;
        };
        expectNumberedPoints(GPXParser().parse(source, expected), kCount);
    }
}

TEST_F(ActivityFileReading, SkipsLeadingBlanksLongerThanASlice) {
    std::string blanks;
    while (blanks.size() < 3 * kXmlSliceSize) blanks += " \t\r\n";
    auto file = write("padded.gpx", blanks + numberedGpx(10, 0));
    expectNumberedPoints(readActivityFile(file), 10);
    EXPECT_EQ(fromFile(file), fromMemory(file));
}

TEST_F(ActivityFileReading, ErrorsNameTheSameLineAndColumnAsInMemory) {
    std::string blanks(2 * kXmlSliceSize + 5, '\n');
    std::string gpx = numberedGpx(1500, 3);
    std::size_t middle = gpx.find('\n', gpx.size() / 2) + 1;  // Between two points.
    std::string broken = gpx.substr(0, middle) + "<trkpt lat=\"1\" <" + gpx.substr(middle);
    struct Case {
        std::string name;
        std::string text;
    };
    for (const Case& c :
         {Case{"blank.gpx", blanks}, Case{"blank.tcx", blanks + "\t \r\n"}, Case{"empty.tcx", ""},
          Case{"broken.gpx", blanks + broken}, Case{"cut.gpx", gpx.substr(0, gpx.size() - 40)},
          Case{"entity.tcx", "<!DOCTYPE x [<!ENTITY a \"b\">]><x>&a;</x>"}}) {
        auto file = write(c.name, c.text);
        std::string streamed = fromFile(file);
        EXPECT_TRUE(streamed.starts_with("error: Failed to parse")) << c.name << ": " << streamed;
        EXPECT_EQ(streamed, fromMemory(file)) << c.name;
    }
    // Without the leading blanks the error sits where the stray "<" is, counted from the text.
    std::size_t stray = middle + std::string("<trkpt lat=\"1\" ").size();
    std::size_t line = 1 + std::count(broken.begin(), broken.begin() + stray, '\n');
    std::size_t column = stray - broken.rfind('\n', stray);
    std::string where = " at line " + std::to_string(line) + ", column " + std::to_string(column);
    std::string result = fromFile(write("broken.gpx", broken));
    EXPECT_TRUE(result.ends_with(where)) << result << " vs " << where;
}

TEST_F(ActivityFileReading, UnreadableFilesFailAsWhenReadWhole) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder.tcx");
    EXPECT_EQ(fromFile(dir / "folder.tcx"), "error: Cannot read file: Is a directory");
    EXPECT_EQ(fromFile(dir / "gone.gpx"), "error: Cannot read file: No such file or directory");
    EXPECT_EQ(fromFile(dir / "gone.fit"), "error: Cannot read file: No such file or directory");
}

TEST_F(ActivityFileReading, FilesOver100MBAreRefusedWhicheverReaderWouldTakeThem) {
    test::TempDir dir;
    for (const char* name : {"big.fit", "big.gpx", "big.tcx.gz", "big.xyz"}) {
        std::ofstream(dir / name).close();
        std::filesystem::resize_file(dir / name, kMaxActivityFileBytes + 1);  // sparse
        EXPECT_EQ(fromFile(dir / name), "error: The file is larger than 100 MB.") << name;
        EXPECT_THROW(readActivityFileBytes(dir / name), RideImportError) << name;
    }
    test::writeFileBytes(dir / "small.gpx", bytesOf("<gpx/>"));
    EXPECT_EQ(textOf(readActivityFileBytes(dir / "small.gpx")), "<gpx/>");
}

// An element's text is what follows the last element start, wherever that start was; readers
// that skip the text between elements must still see all of it.
TEST(ElementText, IsTheTextSinceTheLastElementStart) {
    auto gpxPoint = [](const std::string& children) {
        std::string gpx =
            "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\">"
            "<time>2024-05-01T06:30:00Z</time>" +
            children + "</trkpt></trkseg></trk></gpx>";
        auto points = GPXParser().parse(bytesOf(gpx)).trackpoints;
        EXPECT_EQ(points.size(), 1u);
        return points.empty() ? ImportedTrackpoint{} : points.front();
    };
    EXPECT_EQ(gpxPoint("<ele>1<b/>2</ele>").altitude, 2);
    EXPECT_EQ(gpxPoint("<ele>1<b/> <c>7</c>3</ele>").altitude, 73);
    EXPECT_EQ(gpxPoint("<ele>1<b/><c/>4</ele>").altitude, 4);
    EXPECT_EQ(gpxPoint("<ele><x:b xmlns:x=\"u\"> 5 </x:b></ele>").altitude, 5);
    EXPECT_EQ(gpxPoint("<ele>6<x:b xmlns:x=\"u\"/></ele>").altitude, std::nullopt);
    EXPECT_EQ(gpxPoint("<extensions><hr>61<q/></hr></extensions>").heartRate, std::nullopt);
    EXPECT_EQ(gpxPoint("<extensions><hr><q/>62</hr></extensions>").heartRate, 62);

    auto tcxPoint = [](const std::string& children) {
        std::string tcx =
            "<TrainingCenterDatabase><Activities><Activity><Lap><Track><Trackpoint>"
            "<Time>2024-05-01T06:30:00Z</Time><Position><LatitudeDegrees>1"
            "</LatitudeDegrees><LongitudeDegrees>2</LongitudeDegrees></Position>" +
            children +
            "</Trackpoint></Track></Lap></Activity></Activities>"
            "</TrainingCenterDatabase>";
        auto points = TCXParser().parse(bytesOf(tcx)).trackpoints;
        EXPECT_EQ(points.size(), 1u);
        return points.empty() ? ImportedTrackpoint{} : points.front();
    };
    EXPECT_EQ(tcxPoint("<HeartRateBpm><Value>1<b/>70</Value></HeartRateBpm>").heartRate, 70);
    EXPECT_EQ(tcxPoint("<HeartRateBpm><Value>71<b/></Value></HeartRateBpm>").heartRate,
              std::nullopt);
    EXPECT_EQ(tcxPoint("<AltitudeMeters><b>9</b>8</AltitudeMeters>").altitude, 98);
    EXPECT_EQ(tcxPoint("<AltitudeMeters><b>9</b><c/>8</AltitudeMeters>").altitude, 8);
}

TEST(ActivityFileReadingCorpus, EveryGpxAndTcxReadsAsFromMemory) {
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::corpusDir())) {
        auto ext = entry.path().extension();
        if (ext != ".gpx" && ext != ".tcx" && ext != ".gz") continue;
        EXPECT_EQ(fromFile(entry.path()), fromMemory(entry.path())) << entry.path().filename();
        ++compared;
    }
    EXPECT_GT(compared, 10);
}

}  // namespace
}  // namespace vantrel
