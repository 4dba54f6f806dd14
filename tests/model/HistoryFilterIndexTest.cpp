#include <gtest/gtest.h>

#include "model/HistoryFilterIndex.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

RideRef ride(int year, int month, int day, std::optional<std::string> kind,
             std::optional<std::string> city) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    auto made = std::make_shared<PersistedRide>();
    made->date = dateFromUnix(static_cast<double>(std::mktime(&tm)));
    made->activityType = std::move(kind);
    made->city = std::move(city);
    return made;
}

bool matches(const RideRef& ride, std::string_view filter) {
    auto months = HistoryFilterText::MonthNames::english();
    return HistoryFilterText::matches(HistoryFilterText::searchText(*ride, months),
                                      HistoryFilterText::words(filter));
}

TEST(HistoryFilterTextTest, MatchesEveryWordInKindPlaceOrDateIgnoringCase) {
    RideRef run = ride(2024, 1, 5, "running", "Zürich");
    // The kind's shown name and its stored value both count.
    EXPECT_TRUE(matches(run, "Run"));
    EXPECT_TRUE(matches(run, "RUNNING"));
    // Places fold beyond ASCII, as a user types them in either case.
    EXPECT_TRUE(matches(run, "ZÜR"));
    EXPECT_TRUE(matches(ride(2024, 1, 5, "hiking", "ÅLESUND"), "ålesund"));
    EXPECT_TRUE(matches(ride(2024, 1, 5, "hiking", "Ярославль"), "ЯРОС"));
    // The date as the list writes it and in long form, including across the comma.
    EXPECT_TRUE(matches(run, "Jan 5,"));
    EXPECT_TRUE(matches(run, "january 2024"));
    EXPECT_TRUE(matches(run, "5, 2024"));
    EXPECT_FALSE(matches(run, "Feb"));
    // Every word must be found; runs of spaces are no words.
    EXPECT_TRUE(matches(run, "  zür   jan  "));
    EXPECT_FALSE(matches(run, "zür feb"));
    EXPECT_TRUE(matches(run, ""));
    // A record without kind or place is found by its date only.
    RideRef bare = ride(2019, 3, 1, std::nullopt, std::nullopt);
    EXPECT_TRUE(matches(bare, "mar 2019"));
    EXPECT_FALSE(matches(bare, "running"));
}

TEST(HistoryFilterTextTest, MalformedTextIsComparedByteForByte) {
    std::string broken = "Ba\xC3\x28sel\xFF";
    EXPECT_EQ(HistoryFilterText::fold(broken), "ba\xC3\x28sel\xFF");
    EXPECT_TRUE(matches(ride(2020, 2, 2, "cycling", broken), "SEL\xFF"));
}

class HistoryFilterIndexTest : public ::testing::Test {
  public:
    test::IsolatedEnvironment environment;
    std::unique_ptr<RideStore> store = RideStore::open(environment.root() / "store.sqlite");

    std::int64_t add(const RideRef& made) {
        store->insert(made);
        store->save();
        return made->objectID;
    }
};

TEST_F(HistoryFilterIndexTest, CountsMatchesPerYearFromTheStoredRecords) {
    std::int64_t january = add(ride(2024, 1, 5, "running", "Bern"));
    add(ride(2024, 6, 1, "cycling", "Bern"));
    std::int64_t older = add(ride(2019, 1, 20, "running", "Basel"));
    RideRef gone = ride(2019, 1, 21, "running", "Basel");
    add(gone);
    gone->deletedAt = now();
    store->save();

    auto index = HistoryFilterIndex::build(*store, HistoryFilterText::MonthNames::english());
    ASSERT_TRUE(index);
    EXPECT_EQ(index->size(), 3u);  // the soft-deleted record is not listed
    auto result = index->search("jan run");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->countsByYear, (std::map<int, std::int64_t>{{2019, 1}, {2024, 1}}));
    EXPECT_EQ(result->objectIDs, (std::unordered_set<std::int64_t>{january, older}));
    EXPECT_TRUE(index->search("rowing")->countsByYear.empty());
}

TEST_F(HistoryFilterIndexTest, CancelledWorkGivesNoAnswer) {
    add(ride(2024, 1, 5, "running", "Bern"));
    CancellationToken cancel;
    cancel.cancel();
    EXPECT_FALSE(
        HistoryFilterIndex::build(*store, HistoryFilterText::MonthNames::english(), &cancel));
    HistoryFilterIndex index;
    for (int day = 1; day <= 28; ++day) index.add(*ride(2024, 2, day, "running", "Bern"), 2024);
    EXPECT_FALSE(index.search("run", &cancel));
    CancellationToken fresh;
    EXPECT_EQ(index.search("run", &fresh)->countsByYear.at(2024), 28);
}

}  // namespace
}  // namespace vantrel
