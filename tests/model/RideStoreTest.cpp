#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "model/Preferences.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

Date utc(double unixSeconds) {
    return dateFromUnix(unixSeconds);
}

RideRef rideAt(Date date) {
    auto ride = std::make_shared<PersistedRide>();
    ride->date = date;
    return ride;
}

// A second connection, as another process would have, for checks on the raw file.
class RawConnection {
  public:
    explicit RawConnection(const std::filesystem::path& file) { sqlite3_open(file.c_str(), &m_db); }
    ~RawConnection() { sqlite3_close(m_db); }
    void exec(const std::string& sql) {
        ASSERT_EQ(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(m_db);
    }
    std::vector<std::string> column(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr);
        std::vector<std::string> values;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            auto text = sqlite3_column_text(statement, 0);
            values.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(statement);
        return values;
    }

  private:
    sqlite3* m_db = nullptr;
};

class RideStoreTest : public ::testing::Test {
  public:
    test::IsolatedEnvironment environment;
    std::filesystem::path file = environment.root() / "store.sqlite";
    std::unique_ptr<RideStore> store = RideStore::open(file);

    void reopen() {
        store.reset();
        store = RideStore::open(file);
    }
};

TEST_F(RideStoreTest, SchemaFollowsTheFieldOrder) {
    RawConnection raw(file);
    auto columns = raw.column("SELECT name FROM pragma_table_info('PersistedRide')");
    ASSERT_EQ(columns.size(), 33u);
    EXPECT_EQ(columns[0], "id");
    EXPECT_EQ(columns[1], "rideID");
    EXPECT_EQ(columns[10], "routeData");
    EXPECT_EQ(columns[25], "powerData");
    EXPECT_EQ(columns[26], "mapCenterLat");
    EXPECT_EQ(columns[31], "preTrimBackup");
    EXPECT_EQ(columns[32], "seriesMark");
    auto photo = raw.column("SELECT name FROM pragma_table_info('RidePhoto')");
    EXPECT_EQ(photo, (std::vector<std::string>{"id", "photoID", "imageData", "thumbnailData",
                                               "caption", "captureDate", "latitude", "longitude",
                                               "sortOrder", "ride"}));
    EXPECT_EQ(raw.column("PRAGMA user_version")[0], "2");
    EXPECT_EQ(raw.column("PRAGMA journal_mode")[0], "wal");
}

TEST_F(RideStoreTest, EveryFieldSurvivesAReopen) {
    auto ride = rideAt(utc(1714545015.25));
    ride->duration = 3600.5;
    ride->healthKitUUID = Uuid::random();
    ride->activityType = "hiking";
    ride->notes = "Windy \"summit\"\n";
    ride->startElevation = -12.5;
    ride->startWeatherData = Bytes{};
    ride->setRoutePoints({{Uuid::random(), {47.1, 8.5}, 412.3, 736237815.25}});
    ride->preTrimBackup = Bytes{1, 2, 3};
    ride->trimmedAt = 1.0;
    RidePhoto photo;
    photo.imageData = Bytes(1000, 7);
    photo.sortOrder = 3;
    ride->photos = {photo};
    store->insert(ride);
    store->save();
    EXPECT_NE(ride->objectID, 0);
    EXPECT_NE(ride->photos[0].objectID, 0);
    PersistedRide expected = *ride;
    ride.reset();
    reopen();
    auto back = store->fetchByRideID(expected.rideID);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->sameValues(expected));
    EXPECT_EQ(back->objectID, expected.objectID);
    RawConnection raw(file);
    EXPECT_EQ(raw.column("SELECT rideID FROM PersistedRide")[0], expected.rideID.toString());
    EXPECT_EQ(raw.column("SELECT typeof(city) FROM PersistedRide")[0], "null");
}

TEST_F(RideStoreTest, OneObjectPerRowAndChangesAreWrittenBySave) {
    store->insert(rideAt(utc(1.6e9)));
    store->save();
    auto first = store->allRecords().front();
    auto second = store->allLiveActivities(false).front();
    EXPECT_EQ(first.get(), second.get());
    first->city = "Bern";
    EXPECT_TRUE(store->hasChanges());
    store->save();
    EXPECT_FALSE(store->hasChanges());
    RawConnection raw(file);
    EXPECT_EQ(raw.column("SELECT city FROM PersistedRide")[0], "Bern");
}

TEST_F(RideStoreTest, ARecordDroppedWithUnsavedChangesIsStillSaved) {
    store->insert(rideAt(utc(1.6e9)));
    store->save();
    store->allRecords().front()->notes = "kept";
    EXPECT_TRUE(store->hasChanges());
    store->save();
    reopen();
    EXPECT_EQ(store->allRecords().front()->notes, "kept");
}

TEST_F(RideStoreTest, FetchWithoutDetailsNeverOverwritesTheBlobs) {
    auto ride = rideAt(utc(1.6e9));
    ride->setHeartRateSamples({{Uuid::random(), 1, 61}, {Uuid::random(), 2, 62}});
    ride->photos.push_back(RidePhoto{});
    store->insert(ride);
    store->save();
    auto expected = *ride;
    ride.reset();
    reopen();
    auto light = store->allRecords(false).front();
    EXPECT_FALSE(light->heartRateData);
    EXPECT_TRUE(light->photos.empty());
    light->city = "Thun";
    store->save();
    store->loadDetails(light);
    EXPECT_EQ(light->heartRateData, expected.heartRateData);
    EXPECT_EQ(light->photos.size(), 1u);
}

TEST_F(RideStoreTest, PhotosAreAddedChangedAndRemoved) {
    auto ride = rideAt(utc(1.6e9));
    ride->photos.resize(2);
    store->insert(ride);
    store->save();
    ride->photos[0].caption = "first";
    ride->photos.erase(ride->photos.begin() + 1);
    ride->photos.push_back(RidePhoto{});
    store->save();
    RawConnection raw(file);
    EXPECT_EQ(raw.column("SELECT coalesce(caption, '-') FROM RidePhoto ORDER BY id"),
              (std::vector<std::string>{"first", "-"}));
    store->remove(ride);
    store->save();
    EXPECT_EQ(raw.column("SELECT count(*) FROM RidePhoto")[0], "0");
}

TEST_F(RideStoreTest, AFailedSaveLeavesTheFileAsItWasAndKeepsTheChanges) {
    store->insert(rideAt(utc(1.6e9)));
    store->save();
    RawConnection raw(file);
    raw.exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON PersistedRide WHEN NEW.notes = 'refused' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    store->allRecords().front()->city = "Chur";
    store->insert(rideAt(utc(1.7e9)));
    auto bad = rideAt(utc(1.8e9));
    bad->notes = "refused";
    store->insert(bad);
    EXPECT_THROW(store->save(), StoreError);
    EXPECT_EQ(raw.column("SELECT count(*) FROM PersistedRide")[0], "1");
    EXPECT_EQ(raw.column("SELECT typeof(city) FROM PersistedRide")[0], "null");
    EXPECT_EQ(bad->objectID, 0);
    EXPECT_TRUE(store->hasChanges());
    EXPECT_FALSE(store->autosave());
    raw.exec("DROP TRIGGER refuse");
    store->save();
    EXPECT_EQ(raw.column("SELECT count(*) FROM PersistedRide")[0], "3");
}

TEST_F(RideStoreTest, UnopenableFilesAreRefusedAndLeftUntouched) {
    store.reset();
    auto garbage = environment.root() / "notes.txt";
    test::writeFileBytes(garbage, bytesOf("this is not a store at all"));
    EXPECT_THROW(RideStore::open(garbage), StoreError);
    EXPECT_EQ(test::readFileText(garbage), "this is not a store at all");

    {
        RawConnection raw(file);
        raw.exec("PRAGMA user_version = 99");
    }
    auto before = test::readFileBytes(file);
    try {
        RideStore::open(file);
        FAIL() << "a newer schema was opened";
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos);
    }
    EXPECT_EQ(test::readFileBytes(file), before);

    auto foreign = environment.root() / "other.sqlite";
    {
        RawConnection raw(foreign);
        raw.exec("CREATE TABLE t (x)");
    }
    EXPECT_THROW(RideStore::open(foreign), StoreError);
}

TEST_F(RideStoreTest, YearSummariesCountLiveActivitiesByLocalYear) {
    setClockForTesting([] { return utc(1748779200); });  // 2025-06-01
    store->insert(rideAt(utc(1551441600)));              // 2019-03-01
    store->insert(rideAt(utc(1720094400)));              // 2024-07-04
    auto deleted = rideAt(utc(1720094400));
    deleted->deletedAt = utc(1720094500);
    store->insert(deleted);
    auto expected = std::vector<YearSummary>{{2024, 1}, {2019, 1}};
    EXPECT_EQ(store->yearSummaries(), expected);  // pending inserts count, as they would after save
    store->save();
    EXPECT_EQ(store->yearSummaries(), expected);
    EXPECT_EQ(store->activitiesOfYear(2024).size(), 1u);
    EXPECT_EQ(store->allRecords().size(), 3u);
    setClockForTesting({});
}

TEST_F(RideStoreTest, YearSummariesReachTheNewestActivityEvenInTheFuture) {
    // A device with a wrong clock: the activities lie after the current year.
    setClockForTesting([] { return utc(1.5e9); });  // 2017
    store->insert(rideAt(utc(1551441600)));         // 2019-03-01
    store->insert(rideAt(utc(1720094400)));         // 2024-07-04
    store->insert(rideAt(utc(1420113600)));         // 2015-01-01
    store->save();
    auto expected = std::vector<YearSummary>{{2024, 1}, {2019, 1}, {2015, 1}};
    EXPECT_EQ(store->yearSummaries(), expected);
    setClockForTesting({});
}

// Overwrites the header of one leaf page in the middle of each date index, so that reading
// that stretch of dates fails as a damaged disk would, while the rest stays readable.
void damageMiddleOfDateIndexes(const std::filesystem::path& file) {
    RawConnection raw(file);
    raw.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    auto pageSize = std::stoll(raw.column("PRAGMA page_size")[0]);
    std::vector<std::int64_t> damaged;
    // Every index a date range can be read through: the summaries' starts with the date too.
    for (const char* index :
         {"PersistedRide_liveDate", "PersistedRide_date", "PersistedRide_liveSummary"}) {
        auto leaves = raw.column(std::string("SELECT pageno FROM dbstat WHERE name = '") + index +
                                 "' AND pagetype = 'leaf' ORDER BY path");
        ASSERT_GE(leaves.size(), 5u) << index;
        damaged.push_back(std::stoll(leaves[leaves.size() / 2]));
    }
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    for (auto page : damaged) {
        stream.seekp((page - 1) * pageSize);
        stream.write("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8);
    }
}

TEST_F(RideStoreTest, AYearThatCannotBeCountedIsLeftOutAlone) {
    setClockForTesting([] { return utc(1748779200); });  // 2025-06-01
    store->insert(rideAt(utc(1420113600)));              // 2015-01-01
    for (int i = 0; i < 3000; ++i) store->insert(rideAt(utc(1551441600 + i * 600.0)));  // 2019
    store->insert(rideAt(utc(1720094400)));                                             // 2024
    store->save();
    store.reset();
    damageMiddleOfDateIndexes(file);
    reopen();
    RideQuery in2019;
    in2019.liveOnly = true;
    in2019.dateFrom = startOfLocalYear(2019);
    in2019.dateBefore = startOfLocalYear(2020);
    ASSERT_THROW(store->count(in2019), StoreError);  // the fault is real
    auto expected = std::vector<YearSummary>{{2024, 1}, {2015, 1}};
    EXPECT_EQ(store->yearSummaries(), expected);
    setClockForTesting({});
}

TEST_F(RideStoreTest, SavingPastARefusedRecordWritesTheOthers) {
    RawConnection raw(file);
    raw.exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON PersistedRide WHEN NEW.notes = 'refused' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    auto first = rideAt(utc(1.7e9));
    store->insert(first);
    store->save();
    first->city = "Chur";
    auto bad = rideAt(utc(1.8e9));
    bad->notes = "refused";
    bad->photos.push_back(RidePhoto{});
    store->insert(rideAt(utc(1.75e9)));
    store->insert(bad);
    store->insert(rideAt(utc(1.85e9)));
    auto dropped = store->saveDroppingUnwritable();
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].ride, bad);
    EXPECT_NE(dropped[0].reason.find("refused"), std::string::npos);
    EXPECT_EQ(bad->objectID, 0);
    EXPECT_FALSE(store->hasChanges());
    EXPECT_EQ(raw.column("SELECT count(*) FROM PersistedRide")[0], "3");
    EXPECT_EQ(raw.column("SELECT count(*) FROM RidePhoto")[0], "0");
    EXPECT_EQ(raw.column("SELECT city FROM PersistedRide WHERE city IS NOT NULL")[0], "Chur");
    EXPECT_TRUE(store->saveDroppingUnwritable().empty());
}

TEST_F(RideStoreTest, CalendarYearsStartAtLocalMidnight) {
    // Tests run with TZ=Europe/Zurich: 2024 starts at 2023-12-31T23:00:00Z.
    ASSERT_EQ(startOfLocalYear(2024), utc(1704063600));
    store->insert(rideAt(startOfLocalYear(2024)));
    store->insert(rideAt(startOfLocalYear(2024) - 1));
    store->save();
    EXPECT_EQ(store->activitiesOfYear(2024).size(), 1u);
    EXPECT_EQ(store->activitiesOfYear(2023).size(), 1u);
    auto newestFirst = store->activitiesToLocate(true, std::nullopt);
    ASSERT_EQ(newestFirst.size(), 2u);
    EXPECT_GT(newestFirst[0]->date, newestFirst[1]->date);
}

TEST_F(RideStoreTest, DataVersionSeesOtherConnections) {
    auto before = store->dataVersion();
    {
        auto other = RideStore::open(file);
        other->insert(rideAt(utc(1.6e9)));
        other->save();
    }
    EXPECT_NE(store->dataVersion(), before);
}

TEST_F(RideStoreTest, MigrationPacksPlainSeriesOnce) {
    auto plain = *encodeSeriesJSON(std::vector<HeartRateSample>(5, {Uuid::random(), 1, 60}));
    for (int i = 0; i < 120; ++i) {
        auto ride = rideAt(utc(1.6e9 + i));
        ride->heartRateData = plain;
        ride->powerData = bytesOf("[]");
        if (i == 0) ride->deletedAt = 1.0;
        store->insert(ride);
    }
    store->save();
    reopen();
    runCompressionMigrationIfNeeded(*store, Preferences::shared());
    EXPECT_TRUE(Preferences::shared().boolean(kMigrationDoneKey));
    RawConnection raw(file);
    EXPECT_EQ(
        raw.column(
            "SELECT count(*) FROM PersistedRide WHERE hex(substr(heartRateData,1,1)) = '00'")[0],
        "120");
    EXPECT_EQ(
        raw.column("SELECT count(*) FROM PersistedRide WHERE CAST(powerData AS TEXT) = '[]'")[0],
        "120");
    EXPECT_EQ(store->allRecords().front()->heartRateSamples().size(), 5u);
    EXPECT_EQ(compressStoredSeries(*store), 0);
}

TEST_F(RideStoreTest, MigrationDoesNotRunAgainOnceFlagged) {
    Preferences::shared().setBoolean(kMigrationDoneKey, true);
    auto ride = rideAt(utc(1.6e9));
    ride->routeData = Bytes(200, '[');
    store->insert(ride);
    store->save();
    runCompressionMigrationIfNeeded(*store, Preferences::shared());
    EXPECT_EQ(ride->routeData, Bytes(200, '['));
}

}  // namespace
}  // namespace vantrel
