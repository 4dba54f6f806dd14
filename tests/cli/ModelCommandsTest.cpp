#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliRunner.h"
#include "logging/PersistentLogger.h"
#include "model/Preferences.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

class ModelCommandsTest : public ::testing::Test {
  public:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";

    Result run(std::vector<std::string> args) { return runOnStore(storeFile, std::move(args)); }

    RideRef addRide(double unixSeconds, const char* type, const char* city) {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->date = dateFromUnix(unixSeconds);
        if (type) ride->activityType = type;
        if (city) ride->city = city;
        ride->duration = 3723;
        ride->distance = 12345.5;
        store->insert(ride);
        store->save();
        return ride;
    }
};

TEST_F(ModelCommandsTest, YearsAndListShowLiveActivitiesNewestFirst) {
    auto older = addRide(1551441600, "running", nullptr);  // 2019-03-01T12:00:00Z
    auto newer = addRide(1720094400, "cycling", "Bern");   // 2024-07-04T12:00:00Z
    auto years = run({"years"});
    EXPECT_EQ(years.status, 0);
    EXPECT_EQ(years.out, "2024\t1\n2019\t1\n");
    auto list = run({"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, newer->rideID.toString() +
                            "\t2024-07-04T12:00:00Z\tcycling\t1:02:03\t7.7 mi\tBern\n" +
                            older->rideID.toString() +
                            "\t2019-03-01T12:00:00Z\trunning\t1:02:03\t7.7 mi\t\n");
    auto json = run({"list", "--year", "2019", "--json"});
    EXPECT_EQ(json.out, "[{\"rideID\":\"" + older->rideID.toString() +
                            "\",\"date\":\"2019-03-01T12:00:00Z\",\"activityType\":\"running\","
                            "\"duration\":3723,\"distance\":12345.5,\"city\":null}]\n");
}

// The list is written a row at a time: the commas between rows and an empty history must read
// as one array all the same.
TEST_F(ModelCommandsTest, ListAsJsonIsOneArrayWhateverTheNumberOfRows) {
    RideStore::open(storeFile)->save();
    EXPECT_EQ(run({"list", "--json"}).out, "[]\n");
    auto older = addRide(1551441600, nullptr, "Zürich \"Altstadt\"");
    auto newer = addRide(1720094400, "cycling", "Bern");
    auto json = run({"list", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, "[{\"rideID\":\"" + newer->rideID.toString() +
                            "\",\"date\":\"2024-07-04T12:00:00Z\",\"activityType\":\"cycling\","
                            "\"duration\":3723,\"distance\":12345.5,\"city\":\"Bern\"},"
                            "{\"rideID\":\"" +
                            older->rideID.toString() +
                            "\",\"date\":\"2019-03-01T12:00:00Z\",\"activityType\":null,"
                            "\"duration\":3723,\"distance\":12345.5,"
                            "\"city\":\"Zürich \\\"Altstadt\\\"\"}]\n");
    EXPECT_EQ(run({"list", "--year", "2023", "--json"}).out, "[]\n");
}

TEST_F(ModelCommandsTest, ShowPrintsEveryFieldAndDecodedSeries) {
    auto store = RideStore::open(storeFile);
    auto ride = std::make_shared<PersistedRide>();
    ride->date = dateFromUnix(1714545015.25);
    ride->startWeatherData = bytesOf("{}");
    ride->setHeartRateSamples({{*Uuid::parse("0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B"), 5, 60}});
    store->insert(ride);
    store->save();
    store.reset();
    auto shown = run({"show", ride->rideID.toString(), "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("\"date\":\"2024-05-01T06:30:15.250Z\""), std::string::npos);
    EXPECT_NE(shown.out.find("\"startWeatherData\":\"e30=\""), std::string::npos);
    EXPECT_NE(shown.out.find("\"preTrimBackup\":null"), std::string::npos);
    EXPECT_NE(
        shown.out.find("\"heartRateSamples\":[{\"id\":\"0A1B2C3D-4E5F-4061-8A7B-9C0D1E2F3A4B\","
                       "\"timestamp\":5,\"bpm\":60}]"),
        std::string::npos);
    EXPECT_NE(shown.out.find("\"routePoints\":[]"), std::string::npos);
    auto text = run({"show", ride->rideID.toString()});
    EXPECT_NE(text.out.find("heartRateSamples: 1\n"), std::string::npos);
}

TEST_F(ModelCommandsTest, UserErrorsExitOneAndBadStoresExitTwo) {
    addRide(1.7e9, nullptr, nullptr);
    EXPECT_EQ(run({"show", "nonsense"}).status, 1);
    auto unknown = run({"show", Uuid::random().toString()});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no activity"), std::string::npos);
    EXPECT_EQ(run({"list", "--year", "20x4"}).status, 1);
    EXPECT_EQ(run({"list", "--bogus"}).status, 1);
    test::writeFileBytes(storeFile, bytesOf("not a database"));
    auto broken = run({"years"});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find(storeFile.string()), std::string::npos);
    EXPECT_EQ(test::readFileText(storeFile), "not a database");
}

TEST_F(ModelCommandsTest, MigratePacksAndSetsTheFlag) {
    {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->routeData = Bytes(300, ' ');
        store->insert(ride);
        store->save();
    }
    auto migrated = run({"migrate"});
    EXPECT_EQ(migrated.status, 0);
    EXPECT_EQ(migrated.out, "Packed the series of 1 activity\n");
    EXPECT_TRUE(Preferences::shared().boolean(kMigrationDoneKey));
    EXPECT_EQ(run({"migrate"}).out, "Packed the series of 0 activities\n");
}

TEST_F(ModelCommandsTest, TwinsOfAnOlderStoreAreToldOfOnceOnStderrAndEachInTheLog) {
    ScopedSharedLogger session;
    auto first = addRide(1.6e9, nullptr, nullptr);
    auto later = addRide(1.7e9, nullptr, nullptr);
    auto third = addRide(1.8e9, nullptr, nullptr);
    std::string rideID = first->rideID.toString();
    test::executeSql(storeFile,
                     "DROP INDEX PersistedRide_rideID;"
                     "CREATE INDEX PersistedRide_rideID ON PersistedRide(rideID);"
                     "PRAGMA user_version = 1;"
                     "UPDATE PersistedRide SET rideID = '" +
                         rideID + "';");
    auto years = run({"years"});
    EXPECT_EQ(years.status, 0);
    EXPECT_EQ(years.err,
              "Store " + storeFile.string() +
                  ": 2 activities shared a rideID with an older record and got a new one;"
                  " nothing was lost (the log lists each change)\n");
    EXPECT_EQ(years.out, "2027\t1\n2023\t1\n2020\t1\n");
    auto log = test::sessionLogText(session.logger());
    EXPECT_NE(log.find("[WARN] [Store] Store " + storeFile.string() +
                       ": the activity of 2023-11-14T22:13:20Z (row 2) had the rideID " + rideID +
                       " of an older record; it now has the rideID "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("(row 3)"), std::string::npos) << log;
    EXPECT_EQ(run({"show", rideID}).status, 0);
    EXPECT_TRUE(run({"years"}).err.empty());
}

}  // namespace
}  // namespace vantrel::cli
