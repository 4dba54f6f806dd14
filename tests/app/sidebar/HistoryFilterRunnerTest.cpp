#include <QSignalSpy>
#include <QTest>

#include "app/AppFixture.h"
#include "app/sidebar/HistoryFilterRunner.h"
#include "app/sidebar/RideHistoryRow.h"
#include "app/widgets/DisplayFormat.h"

namespace vantrel::test {
namespace {

class HistoryFilterRunnerTest : public AppFixture {
  protected:
    RideRef addKind(int year, int month, int day, std::optional<std::string> kind,
                    std::optional<std::string> city) {
        RideRef ride = addRide(year, month, day);
        ride->activityType = std::move(kind);
        ride->city = std::move(city);
        return ride;
    }

    /// What a user reading the rows would pick: every word somewhere in the row's kind, place
    /// or date as the list and the detail view write them.
    static bool rowReadsAsMatch(const PersistedRide& ride, const QString& filter) {
        RideHistoryRow row = RideHistoryRow::make(ride, UnitSystem::metric);
        QStringList parts{row.typeName, DisplayFormat::shortDate(ride.date),
                          DisplayFormat::longDate(ride.date)};
        if (ride.activityType) parts << QString::fromStdString(*ride.activityType);
        if (ride.city) parts << QString::fromStdString(*ride.city);
        QString text = parts.join(QLatin1Char(' '));
        const QStringList words = filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        return std::all_of(words.begin(), words.end(), [&text](const QString& word) {
            return text.contains(word, Qt::CaseInsensitive);
        });
    }

    /// Runs one search and waits for its answer.
    static HistoryFilterRunner::ResultRef answer(HistoryFilterRunner& runner,
                                                 const QString& filter) {
        QSignalSpy spy(&runner, &HistoryFilterRunner::resultReady);
        runner.search(filter);
        if (!spy.wait(10000)) return nullptr;
        return spy.takeFirst().at(0).value<HistoryFilterRunner::ResultRef>();
    }
};

TEST_F(HistoryFilterRunnerTest, IndexFindsWhatTheRowsShow) {
    std::vector<RideRef> rides{
        addKind(2024, 1, 5, "running", "Zürich"),     addKind(2024, 7, 4, "cycling", "Bern"),
        addKind(2023, 3, 1, "hiking", "ÖSTERSUND"),   addKind(2019, 12, 31, std::nullopt, "Basel"),
        addKind(2019, 5, 9, "Running", std::nullopt), addKind(2021, 11, 11, "kayaking", "Łódź"),
    };
    store->save();
    HistoryFilterRunner runner(*store);
    runner.rebuild();
    for (QString filter : {"run", "RUNNING", "cycl", "zür", "ZÜRICH", "östersund", "łÓdŹ", "jan",
                           "January 5", "dec 31,", "2019", "bern jul", "4, 2024", "ing", "x",
                           "basel running", "Nov", "hike", "ride"}) {
        HistoryFilterRunner::ResultRef result = answer(runner, filter);
        ASSERT_TRUE(result) << filter.toStdString();
        std::map<int, std::int64_t> counts;
        for (const RideRef& ride : rides) {
            bool expected = rowReadsAsMatch(*ride, filter);
            EXPECT_EQ(result->objectIDs.count(ride->objectID) == 1, expected)
                << filter.toStdString() << " on "
                << DisplayFormat::longDate(ride->date).toStdString();
            if (expected) ++counts[localYear(ride->date)];
        }
        EXPECT_EQ(result->countsByYear, counts) << filter.toStdString();
    }
}

TEST_F(HistoryFilterRunnerTest, ANewFilterDropsTheAnswerOfTheOneBefore) {
    for (int day = 1; day <= 28; ++day) addKind(2024, 2, day, "running", "Bern");
    addKind(2024, 3, 1, "cycling", "Thun");
    store->save();
    HistoryFilterRunner runner(*store);
    runner.rebuild();
    ASSERT_TRUE(answer(runner, "bern"));

    // Typed faster than searched: only the last text is answered.
    QSignalSpy spy(&runner, &HistoryFilterRunner::resultReady);
    runner.search("r");
    runner.search("ru");
    runner.search("thun");
    ASSERT_TRUE(spy.wait(10000));
    QTest::qWait(100);
    ASSERT_EQ(spy.size(), 1);
    auto result = spy.at(0).at(0).value<HistoryFilterRunner::ResultRef>();
    EXPECT_EQ(result->countsByYear, (std::map<int, std::int64_t>{{2024, 1}}));

    // A store change while a filter is set answers that filter again from the new index.
    addKind(2023, 5, 5, "cycling", "Thun");
    store->save();
    spy.clear();
    runner.rebuild();
    ASSERT_TRUE(spy.wait(10000));
    result = spy.at(0).at(0).value<HistoryFilterRunner::ResultRef>();
    EXPECT_EQ(result->countsByYear, (std::map<int, std::int64_t>{{2023, 1}, {2024, 1}}));
}

}  // namespace
}  // namespace vantrel::test
