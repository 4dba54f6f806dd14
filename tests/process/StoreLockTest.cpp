#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CliProcess.h"
#include "model/Date.h"
#include "model/RideStore.h"
#include "support/ProcessLocks.h"
#include "support/StoreFileGuard.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

RideRef newRide(double unixTime) {
    auto ride = std::make_shared<PersistedRide>();
    ride->date = dateFromUnix(unixTime);
    ride->duration = 600;
    ride->distance = 2000;
    ride->activityType = "running";
    return ride;
}

// The window keeps one connection for its whole life while an import opens a second one on
// the same file and closes it again. Other processes reading the store meanwhile must still
// see the window's connection, or the last of them deletes the write-ahead log the window
// goes on writing into, and everything saved afterwards is lost.
TEST(StoreLockTest, ASecondConnectionLeavesTheFirstOnesHoldOnTheStore) {
    IsolatedEnvironment environment;
    auto store = environment.root() / "store.sqlite";
    StoreFileGuard guard(store);
    auto window = RideStore::open(store);
    RideRef ride = newRide(1700000000);
    window->insert(ride);
    window->save();
    ASSERT_TRUE(processHoldsLockOn(store));

    {
        auto import = RideStore::open(store);
        import->insert(newRide(1700100000));
        import->save();
    }
    EXPECT_EQ(guard.foreignOpens(), std::vector<std::string>{});
    EXPECT_TRUE(processHoldsLockOn(store));

    CliProcess reader({"--store", store.string(), "years"}, environment.root(), "years");
    ASSERT_EQ(reader.wait(), 0) << reader.output();
    EXPECT_TRUE(std::filesystem::exists(store.string() + "-wal"));

    ride->notes = "Typed after the import";
    window->save();
    CliProcess show({"--store", store.string(), "show", ride->rideID.toString(), "--json"},
                    environment.root(), "show");
    ASSERT_EQ(show.wait(), 0) << show.output();
    EXPECT_NE(show.output().find("Typed after the import"), std::string::npos) << show.output();
}

TEST(StoreLockTest, AFileThatIsNotADatabaseIsRefusedAndLeftAlone) {
    IsolatedEnvironment environment;
    auto file = environment.root() / "notes.sqlite";
    writeFileBytes(file, bytesOf("These are my notes, not a database at all........"));
    try {
        RideStore::open(file);
        ADD_FAILURE() << "opened a file that is not a database";
    } catch (const StoreError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Store " + file.string() + ": not a Vantrel store (not an SQLite file)");
    }
    EXPECT_EQ(readFileText(file), "These are my notes, not a database at all........");
    EXPECT_FALSE(std::filesystem::exists(file.string() + "-wal"));
}

}  // namespace
}  // namespace vantrel::test
