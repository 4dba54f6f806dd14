#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>

#include "analysis/TestRoutes.h"
#include "app/AppFixture.h"
#include "app/detail/RideChartView.h"
#include "app/statistics/RecordsPanel.h"
#include "app/statistics/StatisticsView.h"
#include "app/widgets/DisplayFormat.h"
#include "logging/PersistentLogger.h"
#include "services/RideTrimService.h"

namespace vantrel::test {
namespace {

class RecordsPanelTest : public AppFixture {
  protected:
    RideRef addRoute(const char* kind, double metresPerSecond, int seconds, Date start) {
        auto added = std::make_shared<PersistedRide>();
        added->date = start;
        added->activityType = kind;
        added->setRoutePoints(steadyRoute(seconds / 5 + 1, 5, metresPerSecond * 5, start));
        added->duration = seconds;
        added->distance = metresPerSecond * seconds;
        added->elevationGain = 10;
        store->insert(added);
        return added;
    }

    void SetUp() override {
        AppFixture::SetUp();
        run = addRoute("running", 3.5, 2400, kRideStart);
        ride = addRoute("gravelCycling", 7, 7200, kRideStart + 86400);
        store->save();
    }

    std::unique_ptr<RecordsPanel> shownPanel() {
        auto panel = std::make_unique<RecordsPanel>(storePath, UnitSystem::metric,
                                                    PersistentLogger::shared());
        QSignalSpy loaded(panel.get(), &RecordsPanel::loaded);
        panel->resize(640, 480);
        panel->show();
        EXPECT_TRUE(loaded.wait(20000));
        return panel;
    }

    static QStringList column(QTableWidget* table, int column) {
        QStringList texts;
        for (int row = 0; row < table->rowCount(); ++row) texts << table->item(row, column)->text();
        return texts;
    }

  public:
    RideRef run, ride;
};

TEST_F(RecordsPanelTest, FillsInTheBackgroundAndFollowsTheKindChoice) {
    auto panel = shownPanel();
    auto* table = panel->table();
    EXPECT_EQ(column(table, 0),
              QStringList({"Fastest 400 m", "Fastest 1 km", "Fastest mile", "Fastest 5 km",
                           "Fastest 20 km", "Fastest 40 km", "Longest distance",
                           "Largest elevation gain", "Longest duration"}));
    EXPECT_EQ(table->item(1, 1)->text(), "04:46");
    EXPECT_EQ(table->item(1, 2)->text(), "Running, 8.4 km");
    EXPECT_EQ(table->item(6, 1)->text(), "50.4 km");
    EXPECT_EQ(table->item(6, 3)->text(), DisplayFormat::shortDate(ride->date));
    // Each row says which kinds it counts: the running times take walks and hikes too.
    EXPECT_EQ(table->item(1, 4)->text(), "Running and walking");
    EXPECT_EQ(table->item(6, 4)->text(), "Cycling");
    EXPECT_EQ(table->item(8, 4)->text(), "Every activity");

    panel->kindChoice()->setCurrentText("All Running");
    EXPECT_EQ(column(table, 0), QStringList({"Fastest 400 m", "Fastest 1 km", "Fastest mile",
                                             "Fastest 5 km", "Longest duration"}));
    panel->kindChoice()->setCurrentText("Swimming");
    EXPECT_EQ(table->rowCount(), 0);
    for (auto* label : panel->findChildren<QLabel*>()) {
        if (label->accessibleName() == "Records status") {
            EXPECT_EQ(label->text(), "No records yet for these kinds.");
        }
    }

    panel->setUnitSystem(UnitSystem::imperial);
    panel->kindChoice()->setCurrentText("All Cycling");
    EXPECT_EQ(table->item(2, 1)->text(), "31.3 mi");
}

TEST_F(RecordsPanelTest, OneClickOrReturnOnARecordAsksForItsActivity) {
    auto panel = shownPanel();
    QSignalSpy requested(panel.get(), &RecordsPanel::activityRequested);
    auto* table = panel->table();
    table->setFocus();
    table->setCurrentCell(6, 0);
    QTest::keyClick(table, Qt::Key_Return);
    ASSERT_EQ(requested.count(), 1);
    EXPECT_EQ(requested.front().front().value<Uuid>(), ride->rideID);
    EXPECT_EQ(requested.front().back().value<RecordKind>(), RecordKind::longestDistance);

    QRect fastestKilometre = table->visualItemRect(table->item(1, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, fastestKilometre.center());
    ASSERT_EQ(requested.count(), 2);
    EXPECT_EQ(requested.back().front().value<Uuid>(), run->rideID);
    EXPECT_EQ(requested.back().back().value<RecordKind>(), RecordKind::fastest1km);
}

TEST_F(RecordsPanelTest, AnOpenedRecordIsMarkedOnItsActivitysChart) {
    startApp();
    app->mainWindow()->showStatistics();
    auto* panel = app->mainWindow()->statisticsView()->findChild<RecordsPanel*>();
    ASSERT_NE(panel, nullptr);
    QSignalSpy loaded(panel, &RecordsPanel::loaded);
    app->mainWindow()->statisticsView()->tabs()->setCurrentWidget(panel);
    ASSERT_TRUE(loaded.wait(20000));
    QTableWidget* table = panel->table();
    ASSERT_EQ(table->item(1, 0)->text(), "Fastest 1 km");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(1, 0)).center());

    auto* detail = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->ride()->rideID, run->rideID);
    auto stretch = detail->chart()->markedStretch();
    ASSERT_TRUE(stretch);
    // A kilometre at 3.5 m/s takes 4:46.
    EXPECT_NEAR(stretch->second - stretch->first, 1000 / 3.5 / 60, 0.01);
    EXPECT_TRUE(detail->chart()->accessibleDescription().startsWith("Fastest 1 km from minute"));

    // A record of the whole activity marks nothing.
    app->mainWindow()->openRecord(ride->rideID, RecordKind::longestDistance);
    auto* other = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->chart()->markedStretch());
}

TEST_F(RecordsPanelTest, ReloadSeesATrimAndEveryControlIsNamed) {
    auto panel = shownPanel();
    for (auto* widget : panel->findChildren<QWidget*>()) {
        bool control = qobject_cast<QComboBox*>(widget) || qobject_cast<QPushButton*>(widget) ||
                       qobject_cast<QTableWidget*>(widget) || qobject_cast<QProgressBar*>(widget);
        if (control) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->metaObject()->className();
        }
    }

    ASSERT_TRUE(RideTrimService::trim(*run, RideTrimService::cutTime(*run, 0.5), now()));
    store->save();
    QSignalSpy loaded(panel.get(), &RecordsPanel::loaded);
    panel->reload();
    ASSERT_TRUE(loaded.wait(20000));
    EXPECT_TRUE(panel->table()->findItems("Fastest 5 km", Qt::MatchExactly).isEmpty());
}

TEST_F(RecordsPanelTest, ClosingWhileMeasuringIsSafe) {
    auto panel =
        std::make_unique<RecordsPanel>(storePath, UnitSystem::metric, PersistentLogger::shared());
    panel->reload();
    EXPECT_TRUE(panel->isLoading());
    panel.reset();
    QTest::qWait(300);
}

}  // namespace
}  // namespace vantrel::test

#include "app/widgets/PowerCurveChart.h"

namespace vantrel::test {
namespace {

TEST_F(RecordsPanelTest, PowerRecordsPerYearAndTheBestPowerCurve) {
    std::vector<PowerSample> power;
    for (int i = 0; i <= 7200; ++i)
        power.push_back({Uuid::random(), ride->date + i, i < 300 ? 350.0 : 220.0});
    ride->setPowerSamples(power);
    store->save();
    auto panel = shownPanel();
    auto* table = panel->table();
    auto rowOf = [table](const QString& name) {
        auto found = table->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? -1 : found.front()->row();
    };
    int fiveMinutes = rowOf("Best 5 min power");
    ASSERT_GE(fiveMinutes, 0);
    EXPECT_EQ(table->item(fiveMinutes, 1)->text(), "350 W");
    EXPECT_GE(rowOf("Best 60 min power"), 0);
    EXPECT_TRUE(panel->powerCurve()->isVisible());
    EXPECT_FALSE(panel->powerCurve()->curve().empty());

    // The run holds no power; a year without the ride shows no power records and no curve.
    int runYear = localYear(run->date);
    int rideYear = localYear(ride->date);
    panel->yearChoice()->setCurrentText(QString::number(rideYear));
    EXPECT_GE(rowOf("Best 5 min power"), 0);
    if (runYear != rideYear) {
        panel->yearChoice()->setCurrentText(QString::number(runYear));
        EXPECT_EQ(rowOf("Best 5 min power"), -1);
        EXPECT_FALSE(panel->powerCurve()->isVisible());
    }
    panel->kindChoice()->setCurrentText("All Running");
    panel->yearChoice()->setCurrentIndex(0);
    EXPECT_EQ(rowOf("Best 5 min power"), -1);
    EXPECT_FALSE(panel->powerCurve()->isVisible());
}

}  // namespace
}  // namespace vantrel::test
