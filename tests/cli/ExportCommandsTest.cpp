#include <gtest/gtest.h>

#include <sstream>

#include "archive/RideArchiveImporter.h"
#include "cli/CliRunner.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

/// 2024-05-01T07:30:00 in Zurich, where the tests run.
const Date kStart = dateFromUnix(1714541400);

class ExportCommandsTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";
    std::filesystem::path out = environment.root() / "out";
    std::vector<std::string> ids;

    void SetUp() override {
        auto store = RideStore::open(storeFile);
        for (Date start : {kStart, kStart + 30, kStart - 400 * 86400.0}) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = start;
            ride->duration = 60;
            ride->setRoutePoints({{Uuid::random(), {47.0, 8.5}, 400, start}});
            store->insert(ride);
            ids.push_back(ride->rideID.toString());
        }
        store->save();
        std::filesystem::create_directories(out);
    }

    Result run(std::vector<std::string> args, const std::filesystem::path& store) {
        return runOnStore(store, std::move(args));
    }
    Result run(std::vector<std::string> args) { return run(std::move(args), storeFile); }
};

TEST_F(ExportCommandsTest, ExportGpxOneFileOrAFolder) {
    Result one = run({"export-gpx", ids[0], "-o", (out / "one.gpx").string()});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_NE(test::readFileText(out / "one.gpx").find("<trkpt lat=\"47.0\" lon=\"8.5\">"),
              std::string::npos);

    Result folder = run({"export-gpx", "--year", "2024", "--to", out.string()});
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_EQ(folder.out, "Exported 2 activities.\n");
    EXPECT_TRUE(std::filesystem::exists(out / "VantrelExport/activities/202405010730.gpx"));
    EXPECT_TRUE(std::filesystem::exists(out / "VantrelExport/activities/202405010730_2.gpx"));

    EXPECT_EQ(run({"export-gpx", "--all", "--to", out.string()}).out, "Exported 3 activities.\n");
    EXPECT_EQ(run({"export-gpx", ids[2], "--to", out.string()}).out, "Exported 1 activity.\n");
}

TEST_F(ExportCommandsTest, ExportArchiveVariantsAndImportIntoAnotherStore) {
    EXPECT_EQ(run({"export-archive", ids[0], ids[2], "-o", (out / "sel.json").string()}).out,
              "Exported 2 activities.\n");
    EXPECT_EQ(run({"export-archive", "--year", "2024", "-o", out.string()}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(out / "Vantrel_2024.json"));
    Result all = run({"export-archive", "--all", "--to", (out / "years").string()});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_TRUE(std::filesystem::exists(out / "years/Vantrel_2023.json"));

    auto other = environment.root() / "other.sqlite";
    Result imported = run(
        {"import-archive", (out / "sel.json").string(), (out / "years/Vantrel_2024.json").string()},
        other);
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "Imported 3 activities. Skipped 1 duplicate.\n");
}

// Stored values come from other devices and archives; a time no four-digit year can hold once
// aborted the GPX export.
TEST_F(ExportCommandsTest, ExtremeStoredTimesNeitherCrashNorSinkTheExport) {
    std::string oddID;
    {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->date = 1e15;
        ride->setRoutePoints(
            {{Uuid::random(), {47.0, 8.5}, 400, 1e15}, {Uuid::random(), {47.1, 8.5}, 401, -1e20}});
        store->insert(ride);
        store->save();
        oddID = ride->rideID.toString();
    }
    Result one = run({"export-gpx", oddID, "-o", (out / "odd.gpx").string()});
    EXPECT_EQ(one.status, 0) << one.err;
    std::string gpx = test::readFileText(out / "odd.gpx");
    EXPECT_EQ(gpx.find("<time>"), std::string::npos);
    EXPECT_NE(gpx.find("<trkpt lat=\"47.1\" lon=\"8.5\">"), std::string::npos);
    EXPECT_EQ(run({"export-gpx", "--all", "--to", out.string()}).status, 0);

    Result archive = run({"export-archive", ids[0], oddID, "-o", (out / "odd.json").string()});
    EXPECT_EQ(archive.status, 0);
    EXPECT_EQ(archive.out,
              "Exported 1 activity. Skipped 1 activity whose date cannot be written.\n");
    EXPECT_EQ(archive.err, "vantrel-cli: Skipped activity " + oddID +
                               ": its date (1e+15 s after 2001) is not a time between the years "
                               "0001 and 9999.\n");
    test::writeFileBytes(out / "none.json", bytesOf("older"));
    Result none = run({"export-archive", oddID, "-o", (out / "none.json").string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(test::readFileText(out / "none.json"), "older");
    EXPECT_EQ(none.out,
              "Exported 0 activities. Skipped 1 activity whose date cannot be written.\n");
}

TEST_F(ExportCommandsTest, ImportArchiveReportsBadFilesAndGoesOn) {
    run({"export-archive", ids[1], "-o", (out / "good.json").string()});
    test::writeFileBytes(out / "bad.json", bytesOf("{\"version\":1"));
    auto other = environment.root() / "other.sqlite";
    Result result =
        run({"import-archive", (out / "bad.json").string(), (out / "good.json").string()}, other);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("bad.json: The data isn't valid JSON", 0), 0u) << result.err;
    EXPECT_EQ(
        result.out,
        "Imported 1 activity. Skipped 0 duplicates.\n1 file could not be imported:\n" + result.err);
}

TEST_F(ExportCommandsTest, ImportArchiveCountsActivitiesWithADamagedSeries) {
    run({"export-archive", ids[0], ids[1], "-o", (out / "two.json").string()});
    std::string text = test::readFileText(out / "two.json");
    text.replace(text.find("\"routeData\":\"") + 13, 4, "*");
    test::writeFileBytes(out / "two.json", bytesOf(text));
    Result result =
        run({"import-archive", (out / "two.json").string()}, environment.root() / "other.sqlite");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Imported 2 activities. Skipped 0 duplicates.\n"
              "1 activity had a damaged series and was imported without it.\n");
}

TEST_F(ExportCommandsTest, UsageErrors) {
    EXPECT_EQ(run({"export-gpx", ids[0]}).status, 1);
    EXPECT_EQ(run({"export-gpx", "--all", "-o", "x.gpx"}).status, 1);
    EXPECT_EQ(run({"export-gpx", "--all", ids[0], "--to", out.string()}).status, 1);
    EXPECT_EQ(run({"export-gpx", "nope", "-o", "x.gpx"}).err,
              "vantrel-cli: not an activity ID: nope\n");
    EXPECT_EQ(run({"export-archive", "--year", "20x4", "-o", "x.json"}).err,
              "vantrel-cli: not a year: 20x4\n");
    EXPECT_EQ(run({"export-archive", "--all", "-o", "x.json"}).status, 1);
    EXPECT_EQ(run({"import-archive"}).status, 1);
    EXPECT_EQ(run({"export-archive", "--year", "1999", "-o", (out / "none.json").string()}).out,
              "No activities to export.\n");
    EXPECT_FALSE(std::filesystem::exists(out / "none.json"));
}

}  // namespace
}  // namespace vantrel::cli
