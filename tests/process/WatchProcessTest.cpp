#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CliProcess.h"
#include "model/Paths.h"
#include "model/Preferences.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

bool waitForOutput(const CliProcess& process, const std::string& text) {
    for (int i = 0; i < 300; ++i) {
        if (process.output().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

class WatchProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", env.root().c_str(), 1);
        std::filesystem::create_directories(named);
        std::filesystem::create_directories(preferred);
        Preferences(defaultPreferencesPath()).setStringList("watchedFolders", {preferred.string()});
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

  public:
    // The fixture's world, shared with its tests.
    IsolatedEnvironment env;
    std::filesystem::path store = env.root() / "store.sqlite";
    std::filesystem::path named = env.root() / "named";
    std::filesystem::path preferred = env.root() / "preferred";
};

// The folders named and those of the preferences are watched; each import and each failure is
// one line; SIGTERM and SIGINT end it with status 0, and a restart reads nothing twice.
TEST_F(WatchProcessTest, TheCommandLineWatcherImportsUntilItIsToldToStop) {
    {
        CliProcess watch({"--store", store.string(), "watch", named.string()}, env.root(), "one");
        ASSERT_TRUE(waitForOutput(watch, "Watching " + named.string() + ", " + preferred.string()))
            << watch.output();
        std::filesystem::copy_file(corpusFile("togeojson__garmin-connect-run.gpx"),
                                   named / "run.gpx");
        std::filesystem::copy_file(corpusFile("sportslib__strava.gpx"), preferred / "ride.gpx");
        std::ofstream(named / "broken.fit") << "no FIT header";
        ASSERT_TRUE(
            waitForOutput(watch, "Imported " + (named / "run.gpx").string() + " from named"));
        ASSERT_TRUE(waitForOutput(watch, "Imported " + (preferred / "ride.gpx").string()));
        ASSERT_TRUE(waitForOutput(watch, (named / "broken.fit").string() + ": "));
        watch.signal(SIGTERM);
        EXPECT_EQ(watch.wait(), 0) << watch.output();
    }
    EXPECT_EQ(RideStore::open(store)->allLiveActivities(false).size(), 2u);

    CliProcess again({"--store", store.string(), "watch", named.string()}, env.root(), "two");
    ASSERT_TRUE(waitForOutput(again, "Watching")) << again.output();
    std::this_thread::sleep_for(2500ms);
    again.signal(SIGINT);
    EXPECT_EQ(again.wait(), 0);
    EXPECT_EQ(again.output(), "Watching " + named.string() + ", " + preferred.string() + "\n");
}

TEST_F(WatchProcessTest, NothingToWatchIsAUsageError) {
    Preferences(defaultPreferencesPath()).remove("watchedFolders");
    CliProcess watch({"--store", store.string(), "watch"}, env.root(), "nothing");
    EXPECT_EQ(watch.wait(), 1) << watch.output();
    EXPECT_NE(watch.output().find("nothing to watch"), std::string::npos) << watch.output();
}

}  // namespace
}  // namespace vantrel::test
