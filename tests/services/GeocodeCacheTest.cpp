#include <gtest/gtest.h>
#include <sqlite3.h>

#include "services/GeocodeCache.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using Clock = GeocodeCache::Clock;
using std::chrono::hours;

const GeocodeCache::Question kBern{"http://nominatim", "reverse", "46.9481,7.4474"};

class GeocodeCacheTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::filesystem::path file = dir / "cache" / "geocode.sqlite";
    Clock::time_point now = Clock::now();
    GeocodeCache::Now clock = [this] { return now; };

    /// Stores an answer through one cache object, then asks a fresh one, as the next run would.
    std::optional<std::string> storedThenFound(const std::filesystem::path& at) {
        GeocodeCache(at, clock).store(kBern, "Bern");
        return GeocodeCache(at, clock).find(kBern);
    }
};

TEST_F(GeocodeCacheTest, AnswersLastNinetyDaysAndAreKeptApart) {
    GeocodeCache(file, clock).store(kBern, R"({"name":"Bern"})");
    GeocodeCache cache(file, clock);
    EXPECT_TRUE(cache.persistent());
    EXPECT_EQ(cache.find(kBern), R"({"name":"Bern"})");
    for (auto other : {GeocodeCache::Question{"http://other", "reverse", kBern.text},
                       GeocodeCache::Question{kBern.service, "areas", kBern.text},
                       GeocodeCache::Question{kBern.service, "reverse", "46.9482,7.4474"}}) {
        EXPECT_FALSE(cache.find(other)) << other.service << " " << other.kind << " " << other.text;
    }

    now += hours(24 * 89);
    EXPECT_TRUE(GeocodeCache(file, clock).find(kBern));
    now += hours(24 * 2);
    EXPECT_FALSE(GeocodeCache(file, clock).find(kBern));
    // An answer asked again is stored afresh and lasts from then on.
    GeocodeCache(file, clock).store(kBern, "again");
    now += hours(24 * 80);
    EXPECT_EQ(GeocodeCache(file, clock).find(kBern), "again");
}

TEST_F(GeocodeCacheTest, DamagedOrForeignFilesAreStartedAfresh) {
    std::filesystem::create_directories(file.parent_path());
    test::writeFileBytes(file, bytesOf(std::string(8192, 'x')));
    EXPECT_EQ(storedThenFound(file), "Bern");

    // Another program's database under our name.
    std::filesystem::remove(file);
    test::executeSql(file, "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES ('mine')");
    EXPECT_EQ(storedThenFound(file), "Bern");

    // A sound header over broken pages shows only when the answers are read.
    {
        GeocodeCache cache(file, clock);
        for (int i = 0; i < 200; ++i) {
            cache.store({kBern.service, "reverse", std::to_string(i)}, std::string(1000, 'a'));
        }
    }
    auto bytes = test::readFileBytes(file);
    ASSERT_GT(bytes.size(), 16'384u);
    for (std::size_t i = 8192; i < bytes.size(); ++i) bytes[i] = 0xA5;
    test::writeFileBytes(file, bytes);
    GeocodeCache cache(file, clock);
    EXPECT_FALSE(cache.find({kBern.service, "reverse", "199"}));
    cache.store(kBern, "Bern again");
    EXPECT_EQ(GeocodeCache(file, clock).find(kBern), "Bern again");
}

TEST_F(GeocodeCacheTest, ALockedFileIsDoneWithout) {
    GeocodeCache(file, clock).store(kBern, "Bern");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);

    GeocodeCache cache(file, clock);
    EXPECT_FALSE(cache.persistent());
    EXPECT_FALSE(cache.find(kBern));
    cache.store(kBern, "from memory");
    EXPECT_EQ(cache.find(kBern), "from memory");
    sqlite3_close(other);
    // The file itself was left as it was.
    EXPECT_EQ(GeocodeCache(file, clock).find(kBern), "Bern");
}

TEST_F(GeocodeCacheTest, AFolderThatCannotBeWrittenWorksFromMemory) {
    // A file where the cache folder should be: nothing can be made there, even by root.
    test::writeFileBytes(dir / "cache", bytesOf("in the way"));
    GeocodeCache cache(file, clock);
    EXPECT_FALSE(cache.persistent());
    cache.store(kBern, "Bern");
    EXPECT_EQ(cache.find(kBern), "Bern");
    EXPECT_EQ(test::readFileText(dir / "cache"), "in the way");
}

TEST_F(GeocodeCacheTest, ALinkInTheFilesPlaceIsNotFollowed) {
    std::filesystem::create_directories(file.parent_path());
    auto elsewhere = dir / "elsewhere.sqlite";
    std::filesystem::create_symlink(elsewhere, file);
    GeocodeCache cache(file, clock);
    EXPECT_FALSE(cache.persistent());
    cache.store(kBern, "Bern");
    EXPECT_FALSE(std::filesystem::exists(elsewhere));
    EXPECT_TRUE(std::filesystem::is_symlink(file));
}

}  // namespace
}  // namespace vantrel
