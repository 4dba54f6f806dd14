#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliRunner.h"
#include "import/ZipTestArchive.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

namespace fs = std::filesystem;
using test::makeGpx;
using test::testDataFile;
using test::ZipTestArchive;

constexpr double kStart = 1700000000;
constexpr double kDay = 86400;

class BulkImportCommandsTest : public ::testing::Test {
  protected:
    fs::path storePath() const { return env.root() / "store.sqlite"; }
    fs::path file(const std::string& name) const { return env.root() / name; }

    Result run(std::vector<std::string> args, const std::string& input = "",
               bool interactive = false) {
        return runOnStore(storePath(), std::move(args), input, interactive);
    }

    std::vector<RideRef> stored() { return RideStore::open(storePath())->allRecords(false); }

    void writeZip(const std::string& name, int count, double firstDay = 0) {
        ZipTestArchive zip(file(name));
        for (int i = 0; i < count; ++i) {
            zip.add("activities/" + std::to_string(i) + ".gpx",
                    makeGpx(kStart + (firstDay + i) * kDay, 5));
        }
    }

    fs::path makeGarminExport(int activities) {
        fs::path uploads = file("garmin") / "DI_CONNECT" / "DI-Connect-Uploaded-Files";
        fs::create_directories(uploads);
        writeZip("garmin/DI_CONNECT/DI-Connect-Uploaded-Files/UploadedFiles_0-_Part1.zip",
                 activities);
        return file("garmin");
    }

    test::IsolatedEnvironment env;
};

TEST_F(BulkImportCommandsTest, ImportZipReportsImportedAndSkipped) {
    writeZip("export.zip", 2);
    Result first = run({"import-zip", file("export.zip").string()});
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, "Imported 2 activities. Skipped 0 duplicates.\n");
    EXPECT_EQ(first.err, "");
    Result second = run({"import-zip", "--threads", "2", file("export.zip").string()});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out, "Imported 0 activities. Skipped 2 duplicates.\n");
    for (const auto& ride : stored()) EXPECT_EQ(ride->importSource, "ZIP Import (GPX)");
}

TEST_F(BulkImportCommandsTest, ImportsWhoseSaveFailsExitWithTwoAndClaimNothing) {
    RideStore::open(storePath());
    test::makeCommitsFail(storePath());
    writeZip("a.zip", 3);
    test::writeFileBytes(file("loose.gpx"), bytesOf(makeGpx(kStart)));
    test::writeFileBytes(
        file("archive.json"),
        bytesOf(R"({"version":1,"exportDate":"2024-05-01T00:00:00Z","appName":"x","rides":[)"
                R"({"rideID":"00000000-0000-4000-8000-000000000001","date":"2024-05-01T06:00:00Z",)"
                R"("duration":60,"distance":0,"elevationGain":0,"averageHeartRate":0,)"
                R"("maxHeartRate":0,"calories":0,"activeTime":0}]})"));
    for (std::vector<std::string> args : {std::vector<std::string>{"import-zip", file("a.zip")},
                                          {"import", file("loose.gpx")},
                                          {"import-archive", file("archive.json")}}) {
        Result result = run(args);
        EXPECT_EQ(result.status, 2) << args[0];
        EXPECT_NE(result.err.find("FOREIGN KEY"), std::string::npos) << args[0] << result.err;
        EXPECT_EQ(result.out.find("Imported"), std::string::npos) << args[0] << result.out;
    }
    EXPECT_TRUE(stored().empty());
}

TEST_F(BulkImportCommandsTest, ImportZipTakesALabelAndRefusesBadOptions) {
    writeZip("one.zip", 1);
    Result labelled = run({"import-zip", "--source", "Club", file("one.zip").string()});
    EXPECT_EQ(labelled.out, "Imported 1 activity. Skipped 0 duplicates.\n");
    EXPECT_EQ(stored().at(0)->importSource, "Club (GPX)");
    for (const char* threads : {"0", "-2", "many", "3x"}) {
        Result bad = run({"import-zip", "--threads", threads, file("one.zip").string()});
        EXPECT_EQ(bad.status, 1) << threads;
        EXPECT_NE(bad.err.find("--threads"), std::string::npos) << threads;
    }
    EXPECT_EQ(run({"import-zip"}).status, 1);
    EXPECT_EQ(run({"import-zip", "--bogus", file("one.zip").string()}).status, 1);
}

TEST_F(BulkImportCommandsTest, UnreadableArchiveIsNamedAndFailsTheRun) {
    test::writeFileBytes(file("broken.zip"), bytesOf("not a zip"));
    Result result = run({"import-zip", file("broken.zip").string(), file("absent.zip").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("cannot read " + file("broken.zip").string()), std::string::npos);
    EXPECT_NE(result.err.find("absent.zip: No such file or directory"), std::string::npos);
    EXPECT_TRUE(
        result.out.starts_with("Imported 0 activities. Skipped 0 duplicates.\n"
                               "2 files could not be imported:\nbroken.zip: "))
        << result.out;
    EXPECT_TRUE(result.out.ends_with("\nabsent.zip: No such file or directory\n")) << result.out;
}

TEST_F(BulkImportCommandsTest, ProgressLineOnlyOnATerminal) {
    writeZip("export.zip", 3);
    Result quiet = run({"import-zip", file("export.zip").string()});
    EXPECT_EQ(quiet.err.find("Importing"), std::string::npos);
    writeZip("more.zip", 3, 10);
    Result shown = run({"import-zip", file("more.zip").string()}, "", true);
    EXPECT_NE(shown.err.find("\rImporting 1 of 3…"), std::string::npos);
    EXPECT_EQ(shown.out, "Imported 3 activities. Skipped 0 duplicates.\n");
}

TEST_F(BulkImportCommandsTest, ImportTakesZipsArchivesAndFoldersByTheirKind) {
    writeZip("export.zip", 2);
    Result zip = run({"import", file("export.zip").string()});
    EXPECT_EQ(zip.status, 0);
    EXPECT_EQ(zip.out, "Imported 2 activities. Skipped 0 duplicates.\n");
    for (const auto& ride : stored()) EXPECT_EQ(ride->importSource, "ZIP Import (GPX)");

    // An archive reads as import-archive reads it, word for word.
    fs::path archive = testDataFile("export/two_rides_full_and_minimal.json");
    Result viaImport = run({"import", archive.string()});
    Result viaArchive = runOnStore(file("other.sqlite"), {"import-archive", archive.string()});
    EXPECT_EQ(viaImport.status, viaArchive.status);
    EXPECT_EQ(viaImport.out, viaArchive.out);
    EXPECT_EQ(viaImport.err, viaArchive.err);
    EXPECT_EQ(stored().size(), 4u);

    // A folder is searched for every kind, and files of other kinds pass without a word.
    fs::create_directories(file("drop/nested"));
    test::writeFileBytes(file("drop/ride.gpx"), bytesOf(makeGpx(kStart + 40 * kDay, 5)));
    test::writeFileBytes(file("drop/notes.txt"), bytesOf("not an activity"));
    writeZip("drop/nested/more.zip", 1, 50);
    Result folder = run({"import", "--source", "Club", file("drop").string()});
    EXPECT_EQ(folder.status, 0);
    EXPECT_EQ(folder.out, "Imported 1 activity\nImported 1 activity. Skipped 0 duplicates.\n");
    EXPECT_EQ(folder.err, "");
    EXPECT_EQ(stored().size(), 6u);
}

TEST_F(BulkImportCommandsTest, ImportOfMixedPathsReportsEachKindsFailures) {
    test::writeFileBytes(file("broken.zip"), bytesOf("not a zip"));
    test::writeFileBytes(file("broken.json"), bytesOf("{not json"));
    test::writeFileBytes(file("ride.gpx"), bytesOf(makeGpx(kStart, 5)));
    Result mixed = run({"import", file("broken.zip").string(), file("ride.gpx").string(),
                        file("broken.json").string()});
    // Something was imported, yet the broken archives make the run fail.
    EXPECT_EQ(mixed.status, 1);
    EXPECT_TRUE(mixed.out.starts_with("Imported 1 activity\n")) << mixed.out;
    EXPECT_NE(mixed.err.find("cannot read " + file("broken.zip").string()), std::string::npos)
        << mixed.err;
    EXPECT_NE(mixed.err.find("broken.json: "), std::string::npos) << mixed.err;
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(BulkImportCommandsTest, ImportStravaChoosesBetweenLooseFilesAndArchives) {
    test::writeFileBytes(file("a.gpx"), bytesOf(makeGpx(kStart)));
    test::writeFileBytes(file("bad.gpx"), bytesOf("<gpx"));
    Result loose = run({"import-strava", file("a.gpx").string(), file("bad.gpx").string()});
    EXPECT_EQ(loose.status, 0);
    EXPECT_TRUE(
        loose.out.starts_with("Imported 1 activity. Skipped 0 duplicates.\n"
                              "1 file could not be imported:\n"
                              "bad.gpx: Failed to parse file: "))
        << loose.out;
    EXPECT_NE(loose.err.find("vantrel-cli: bad.gpx: Failed to parse file: "), std::string::npos);

    writeZip("export.zip", 2, 5);
    Result archive = run({"import-strava", file("a.gpx").string(), file("export.zip").string()});
    EXPECT_EQ(archive.out, "Imported 2 activities. Skipped 0 duplicates.\n");
    EXPECT_EQ(stored().size(), 3u);
    for (const auto& ride : stored()) EXPECT_EQ(ride->importSource, "Strava (GPX)");
}

TEST_F(BulkImportCommandsTest, ImportGarminExplainsAMissingExport) {
    fs::create_directories(file("empty/DI_CONNECT/DI-Connect-Uploaded-Files"));
    Result missing = run({"import-garmin", "--yes", file("empty/DI_CONNECT").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "Garmin Data Not Found: Could not find DI_CONNECT/DI-Connect-Uploaded-Files in the "
              "selected folder. Make sure you selected the top-level Garmin export folder.\n");
    Result none = run({"import-garmin", "--yes", file("empty").string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "No Activity Files Found: No ZIP files found in DI-Connect-Uploaded-Files.\n");
    EXPECT_EQ(run({"import-garmin", "--yes"}).status, 1);
}

TEST_F(BulkImportCommandsTest, ImportGarminAsksFirstUnlessToldYes) {
    fs::path folder = makeGarminExport(2);
    Result unattended = run({"import-garmin", folder.string()});
    EXPECT_EQ(unattended.status, 1);
    EXPECT_NE(unattended.out.find("Found 1 ZIP file with activity data.\n\nImport now?"),
              std::string::npos);
    Result declined = run({"import-garmin", folder.string()}, "n\n", true);
    EXPECT_EQ(declined.status, 0);
    EXPECT_TRUE(stored().empty());

    Result accepted = run({"import-garmin", folder.string()}, "y\n", true);
    EXPECT_EQ(accepted.status, 0);
    EXPECT_NE(accepted.out.find("Imported 2 activities. Skipped 0 duplicates.\n"),
              std::string::npos);
    Result replaced =
        run({"import-garmin", "--yes", "--replace", "--threads", "3", folder.string()});
    EXPECT_NE(replaced.out.find("Imported 2 activities. Skipped 0 duplicates.\n"),
              std::string::npos);
    EXPECT_EQ(stored().size(), 2u);
}

}  // namespace
}  // namespace vantrel::cli
