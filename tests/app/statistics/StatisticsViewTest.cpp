#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QTabWidget>
#include <QToolButton>

#include "app/AppFixture.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/statistics/StatisticsView.h"
#include "app/widgets/PlaceholderView.h"

namespace vantrel::test {
namespace {

class StatisticsViewTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        setClockForTesting([] { return *startOfLocalDay(2024, 6, 20); });
    }
    void TearDown() override { setClockForTesting({}); }

    StatisticsView* shownStatistics() {
        return qobject_cast<StatisticsView*>(app->mainWindow()->currentDetail());
    }
    QComboBox* choice(const QString& name) {
        for (auto* box : shownStatistics()->findChildren<QComboBox*>()) {
            if (box->accessibleName() == name) return box;
        }
        ADD_FAILURE() << "no choice " << name.toStdString();
        return nullptr;
    }
    QList<qreal> shownBars() {
        QList<qreal> values;
        // The Records tab has a chart of its own.
        QChartView* chart = nullptr;
        for (auto* view : shownStatistics()->findChildren<QChartView*>()) {
            if (view->accessibleName() == "Totals per period") chart = view;
        }
        if (!chart) return values;
        for (auto* series : chart->chart()->series()) {
            if (auto* bars = qobject_cast<QBarSeries*>(series)) {
                for (int i = 0; i < bars->barSets().front()->count(); ++i)
                    values << bars->barSets().front()->at(i);
            }
        }
        return values;
    }
};

TEST_F(StatisticsViewTest, OpensFromTheSidebarAndTheViewMenuAndShowsTheTotals) {
    addRide(2024, 4, 2, 10000);
    addRide(2024, 4, 9, 5000);
    addRide(2024, 6, 1, 7000)->activityType = "cycling";
    addRide(2024, 6, 3, 9000, true);
    addRide(2022, 1, 5, 3000);
    startApp();
    QTest::mouseClick(app->mainWindow()->sidebar()->statisticsEntry(), Qt::LeftButton);
    ASSERT_TRUE(shownStatistics());
    auto* tabs = shownStatistics()->tabs();
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), "Totals");
    EXPECT_EQ(tabs->tabText(1), "Records");
    EXPECT_EQ(tabs->tabText(2), "Heatmap");
    // The last twelve months by month, distances in miles (the default units).
    auto bars = shownBars();
    ASSERT_EQ(bars.size(), 3);
    EXPECT_NEAR(bars[0], 15000 / kMetresPerMile, 1e-9);
    EXPECT_EQ(bars[1], 0);
    EXPECT_NEAR(bars[2], 7000 / kMetresPerMile, 1e-9);
    EXPECT_TRUE(shownStatistics()->summaryText().startsWith("3 activities · 13.7 mi"))
        << shownStatistics()->summaryText().toStdString();

    choice("Kind")->setCurrentText("All Running");
    emit choice("Kind")->activated(choice("Kind")->currentIndex());
    choice("Range")->setCurrentText("All Time");
    emit choice("Range")->activated(choice("Range")->currentIndex());
    choice("Period")->setCurrentText("Per Year");
    emit choice("Period")->activated(choice("Period")->currentIndex());
    bars = shownBars();
    ASSERT_EQ(bars.size(), 3);
    EXPECT_NEAR(bars[0], 3000 / kMetresPerMile, 1e-9);
    EXPECT_EQ(bars[1], 0);
    EXPECT_NEAR(bars[2], 15000 / kMetresPerMile, 1e-9);
    ASSERT_EQ(shownStatistics()->yearsToDate().size(), 2u);

    app->mainWindow()->sidebar()->expandYear(2024);
    app->mainWindow()->sidebar()->selectNewestOfYear(2024);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shownStatistics(); }));
    triggerAction(menuBarMenu("View"), "Statistics");
    ASSERT_TRUE(shownStatistics());
    EXPECT_TRUE(app->mainWindow()->sidebar()->selectedRides().empty());
}

TEST_F(StatisticsViewTest, ReloadsWhenTheStoreChangesAndTakesTheOtherTabsWidgets) {
    addRide(2024, 5, 2, 10000);
    startApp();
    app->mainWindow()->showStatistics();
    ASSERT_TRUE(shownStatistics());
    EXPECT_TRUE(shownStatistics()->summaryText().startsWith("1 activity ·"));
    {
        auto other = RideStore::open(storePath);
        auto ride = std::make_shared<PersistedRide>();
        ride->date = *startOfLocalDay(2024, 5, 3);
        ride->distance = 1000;
        other->insert(ride);
        other->save();
    }
    app->mainWindow()->checkForRemoteChanges();
    EXPECT_TRUE(shownStatistics()->summaryText().startsWith("2 activities ·"))
        << shownStatistics()->summaryText().toStdString();

    auto* records = new QWidget;
    shownStatistics()->setTab("Records", records);
    EXPECT_EQ(shownStatistics()->tabs()->count(), 3);
    EXPECT_EQ(shownStatistics()->tabs()->widget(1), records);
    for (auto* widget : shownStatistics()->findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(widget) || qobject_cast<QChartView*>(widget) ||
            qobject_cast<QTabWidget*>(widget)) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->metaObject()->className();
        }
    }
}

TEST_F(StatisticsViewTest, OpensOnTheShortestRangeThatHoldsTheNewestActivity) {
    addRide(2021, 3, 1, 8000);
    addRide(2020, 5, 1, 2000);
    startApp();
    app->mainWindow()->showStatistics();
    // The last activity is three years old: "Last 12 Months" would open empty.
    EXPECT_EQ(choice("Range")->currentText(), "Last 5 Years");
    EXPECT_TRUE(shownStatistics()->summaryText().startsWith("2 activities ·"))
        << shownStatistics()->summaryText().toStdString();
}

}  // namespace
}  // namespace vantrel::test
