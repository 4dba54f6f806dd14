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
    test::TempDir m_dir;
    std::filesystem::path m_file = m_dir / "cache" / "geocode.sqlite";
    Clock::time_point m_now = Clock::now();
    GeocodeCache::Now m_clock = [this] { return m_now; };

    /// Stores an answer through one cache object, then asks a fresh one, as the next run would.
    std::optional<std::string> storedThenFound(const std::filesystem::path& at) {
        GeocodeCache(at, m_clock).store(kBern, "Bern");
        return GeocodeCache(at, m_clock).find(kBern);
    }
};

TEST_F(GeocodeCacheTest, AnswersLastNinetyDaysAndAreKeptApart) {
    GeocodeCache(m_file, m_clock).store(kBern, R"({"name":"Bern"})");
    GeocodeCache cache(m_file, m_clock);
    EXPECT_TRUE(cache.persistent());
    EXPECT_EQ(cache.find(kBern), R"({"name":"Bern"})");
    for (const auto& other : {GeocodeCache::Question{"http://other", "reverse", kBern.text},
                              GeocodeCache::Question{kBern.service, "areas", kBern.text},
                              GeocodeCache::Question{kBern.service, "reverse", "46.9482,7.4474"}}) {
        EXPECT_FALSE(cache.find(other)) << other.service << " " << other.kind << " " << other.text;
    }

    m_now += hours(24 * 89);
    EXPECT_TRUE(GeocodeCache(m_file, m_clock).find(kBern));
    m_now += hours(24 * 2);
    EXPECT_FALSE(GeocodeCache(m_file, m_clock).find(kBern));
    // An answer asked again is stored afresh and lasts from then on.
    GeocodeCache(m_file, m_clock).store(kBern, "again");
    m_now += hours(24 * 80);
    EXPECT_EQ(GeocodeCache(m_file, m_clock).find(kBern), "again");
}

TEST_F(GeocodeCacheTest, DamagedOrForeignFilesAreStartedAfresh) {
    std::filesystem::create_directories(m_file.parent_path());
    test::writeFileBytes(m_file, bytesOf(std::string(8192, 'x')));
    EXPECT_EQ(storedThenFound(m_file), "Bern");

    // Another program's database under our name.
    std::filesystem::remove(m_file);
    test::executeSql(m_file, "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES ('mine')");
    EXPECT_EQ(storedThenFound(m_file), "Bern");

    // A sound header over broken pages shows only when the answers are read.
    {
        GeocodeCache cache(m_file, m_clock);
        for (int i = 0; i < 200; ++i) {
            cache.store({kBern.service, "reverse", std::to_string(i)}, std::string(1000, 'a'));
        }
    }
    auto bytes = test::readFileBytes(m_file);
    ASSERT_GT(bytes.size(), 16'384u);
    for (std::size_t i = 8192; i < bytes.size(); ++i) bytes[i] = 0xA5;
    test::writeFileBytes(m_file, bytes);
    GeocodeCache cache(m_file, m_clock);
    EXPECT_FALSE(cache.find({kBern.service, "reverse", "199"}));
    cache.store(kBern, "Bern again");
    EXPECT_EQ(GeocodeCache(m_file, m_clock).find(kBern), "Bern again");
}

TEST_F(GeocodeCacheTest, ALockedFileIsDoneWithout) {
    GeocodeCache(m_file, m_clock).store(kBern, "Bern");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);

    GeocodeCache cache(m_file, m_clock);
    EXPECT_FALSE(cache.persistent());
    EXPECT_FALSE(cache.find(kBern));
    cache.store(kBern, "from memory");
    EXPECT_EQ(cache.find(kBern), "from memory");
    sqlite3_close(other);
    // The file itself was left as it was.
    EXPECT_EQ(GeocodeCache(m_file, m_clock).find(kBern), "Bern");
}

TEST_F(GeocodeCacheTest, AFolderThatCannotBeWrittenWorksFromMemory) {
    // A file where the cache folder should be: nothing can be made there, even by root.
    test::writeFileBytes(m_dir / "cache", bytesOf("in the way"));
    GeocodeCache cache(m_file, m_clock);
    EXPECT_FALSE(cache.persistent());
    cache.store(kBern, "Bern");
    EXPECT_EQ(cache.find(kBern), "Bern");
    EXPECT_EQ(test::readFileText(m_dir / "cache"), "in the way");
}

TEST_F(GeocodeCacheTest, ALinkInTheFilesPlaceIsNotFollowed) {
    std::filesystem::create_directories(m_file.parent_path());
    auto elsewhere = m_dir / "elsewhere.sqlite";
    std::filesystem::create_symlink(elsewhere, m_file);
    GeocodeCache cache(m_file, m_clock);
    EXPECT_FALSE(cache.persistent());
    cache.store(kBern, "Bern");
    EXPECT_FALSE(std::filesystem::exists(elsewhere));
    EXPECT_TRUE(std::filesystem::is_symlink(m_file));
}

}  // namespace
}  // namespace vantrel
