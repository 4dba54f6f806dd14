#include <gtest/gtest.h>

#include "model/Paths.h"
#include "model/Preferences.h"
#include "model/UnitSystem.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

TEST(Preferences, WritesAreSeenByOtherInstances) {
    test::IsolatedEnvironment environment;
    auto file = environment.root() / "config" / "vantrel" / "preferences.json";
    Preferences writer(file), reader(file);
    EXPECT_EQ(reader.string(kUnitSystemKey), std::nullopt);
    EXPECT_FALSE(reader.boolean(kMigrationDoneKey));
    writer.setString(kUnitSystemKey, "metric");
    writer.setBoolean(kMigrationDoneKey, true);
    EXPECT_EQ(reader.string(kUnitSystemKey), "metric");
    EXPECT_TRUE(reader.boolean(kMigrationDoneKey));
    EXPECT_EQ(reader.string(kMigrationDoneKey), std::nullopt);
    // A switch that is on until turned off: only a stored boolean turns it off.
    EXPECT_TRUE(reader.boolean("someSwitch", true));
    EXPECT_TRUE(reader.boolean(kUnitSystemKey, true));
    writer.setBoolean("someSwitch", false);
    EXPECT_FALSE(reader.boolean("someSwitch", true));
    reader.remove("someSwitch");
    reader.remove(kUnitSystemKey);
    EXPECT_EQ(writer.string(kUnitSystemKey), std::nullopt);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(Preferences, UnknownValuesSurviveARewrite) {
    test::IsolatedEnvironment environment;
    auto file = environment.root() / "prefs.json";
    test::writeFileBytes(
        file, bytesOf("{\"count\": 3, \"list\": [1, {\"a\": \"\\u00e9\"}], \"s\": \"x\\\"y\"}"));
    Preferences preferences(file);
    EXPECT_EQ(preferences.string("s"), "x\"y");
    preferences.setString("logLevel", "DEBUG");
    Preferences again(file);
    EXPECT_EQ(again.string("s"), "x\"y");
    auto text = test::readFileText(file);
    EXPECT_NE(text.find("\"count\":3"), std::string::npos);
    EXPECT_NE(text.find("[1, {\"a\": \"\\u00e9\"}]"), std::string::npos);
}

// Lists of folders, as a person would write them into the file by hand too.
TEST(Preferences, StringListsAndSwitchesThatStartOn) {
    test::IsolatedEnvironment environment;
    auto file = environment.root() / "prefs.json";
    test::writeFileBytes(file, bytesOf("{\"one\": \"/home/a b\", \"mixed\": [\"x\", 3, \"y\"], "
                                       "\"number\": 4, \"off\": false}"));
    Preferences preferences(file);
    EXPECT_EQ(preferences.stringList("one"), std::vector<std::string>{"/home/a b"});
    EXPECT_EQ(preferences.stringList("mixed"), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(preferences.stringList("number").empty());
    EXPECT_TRUE(preferences.stringList("absent").empty());
    EXPECT_TRUE(preferences.boolean("absent", true));
    EXPECT_TRUE(preferences.boolean("number", true));
    EXPECT_FALSE(preferences.boolean("off", true));

    preferences.setStringList("folders", {"/a \"quoted\"", "/b\\c"});
    Preferences again(file);
    EXPECT_EQ(again.stringList("folders"), (std::vector<std::string>{"/a \"quoted\"", "/b\\c"}));
    EXPECT_NE(test::readFileText(file).find("\"number\":4"), std::string::npos);
}

TEST(Preferences, AnUnreadableFileIsSetAsideNotLost) {
    test::IsolatedEnvironment environment;
    auto file = environment.root() / "prefs.json";
    test::writeFileBytes(file, bytesOf("{broken"));
    Preferences preferences(file);
    EXPECT_EQ(preferences.string(kUnitSystemKey), std::nullopt);
    preferences.setString(kUnitSystemKey, "metric");
    EXPECT_EQ(test::readFileText(environment.root() / "prefs.json.unreadable"), "{broken");
    EXPECT_EQ(Preferences(file).string(kUnitSystemKey), "metric");
}

TEST(Preferences, SharedInstanceAndDefaultPathsFollowTheEnvironment) {
    test::IsolatedEnvironment environment;
    EXPECT_EQ(defaultStorePath(), environment.root() / "data" / "vantrel" / "store.sqlite");
    EXPECT_EQ(currentUnitSystem(Preferences::shared()), UnitSystem::imperial);
    Preferences::shared().setString(kUnitSystemKey, "metric");
    EXPECT_EQ(currentUnitSystem(Preferences::shared()), UnitSystem::metric);
}

TEST(Preferences, ScopedSharedInstancesNestAndRestoreWhatTheyReplaced) {
    test::IsolatedEnvironment environment;
    Preferences& outer = Preferences::shared();
    outer.setString(kUnitSystemKey, "metric");
    {
        ScopedSharedPreferences guard(environment.root() / "inner.json");
        Preferences& inner = Preferences::shared();
        EXPECT_NE(&inner, &outer);
        EXPECT_EQ(inner.string(kUnitSystemKey), std::nullopt);
        {
            ScopedSharedPreferences innermost(environment.root() / "innermost.json");
            Preferences::shared().setString(kUnitSystemKey, "imperial");
        }
        EXPECT_EQ(&Preferences::shared(), &inner);
        inner.setString(kUnitSystemKey, "metric");
    }
    EXPECT_EQ(&Preferences::shared(), &outer);
    EXPECT_EQ(Preferences(environment.root() / "innermost.json").string(kUnitSystemKey),
              "imperial");
}

}  // namespace
}  // namespace vantrel
