#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "analysis/TestRoutes.h"
#include "app/FakeMapView.h"
#include "app/statistics/HeatmapPanel.h"
#include "app/widgets/ProgressRow.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

/// `count` points wandering north-east in small zigzags: nearly every point survives.
std::vector<RoutePoint> zigzag(int count, double offset) {
    std::vector<RoutePoint> route;
    for (int i = 0; i < count; ++i) {
        RoutePoint point = pointAt(i * 10.0, kRideStart + i);
        point.coordinate.longitude += (i % 2 ? 0.0003 : 0) + offset;
        route.push_back(point);
    }
    return route;
}

class HeatmapPanelTest : public ::testing::Test {
  protected:
    IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";

    void addRides(int count, const std::string& kind, Date date, int points = 50) {
        auto store = RideStore::open(storeFile);
        for (int i = 0; i < count; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->activityType = kind;
            ride->date = date + i;
            ride->setRoutePoints(zigzag(points, i * 0.001));
            store->insert(ride);
        }
        store->save();
    }

    static FakeMapView& fakeMap(HeatmapPanel& panel) {
        return *dynamic_cast<FakeMapView*>(panel.map());
    }
    static QPushButton* action(HeatmapPanel& panel) { return panel.findChild<QPushButton*>(); }
    static bool waitForLines(QSignalSpy& spy, int timeoutMs = 30000) {
        return QTest::qWaitFor([&] { return !spy.isEmpty(); }, timeoutMs);
    }
};

TEST_F(HeatmapPanelTest, ShowsTheChosenKindsAndYearsOnTheMap) {
    Date in2023 = dateFromUnix(1'688'000'000), in2024 = dateFromUnix(1'720'000'000);
    addRides(3, "running", in2023);
    addRides(2, "gravelCycling", in2024);
    addRides(1, "cycling", in2024);
    HeatmapPanel panel(storeFile, Preferences::shared());
    QSignalSpy shown(&panel, &HeatmapPanel::linesShown);
    EXPECT_EQ(fakeMap(panel).heatmapShown, 0);  // nothing is read before the panel shows
    panel.show();
    ASSERT_TRUE(waitForLines(shown));
    EXPECT_EQ(shown.takeFirst().at(0).toInt(), 6);
    EXPECT_EQ(fakeMap(panel).heatmap.lineCount(), 6u);
    EXPECT_EQ(fakeMap(panel).heatmap.pointCount, 6u * 50);
    EXPECT_EQ(panel.statusText(), "6 activities");
    EXPECT_FALSE(action(panel)->isVisible());

    auto* kinds = panel.findChild<QComboBox*>();
    auto* year = panel.findChildren<QComboBox*>().at(1);
    EXPECT_EQ(year->count(), 3);  // all years, 2024, 2023
    EXPECT_EQ(year->itemText(1), "2024");
    kinds->setCurrentIndex(kinds->findText("All Cycling"));
    ASSERT_TRUE(waitForLines(shown));
    EXPECT_EQ(shown.takeFirst().at(0).toInt(), 3);
    kinds->setCurrentIndex(kinds->findText("Cycling"));  // the one kind, not the group
    ASSERT_TRUE(waitForLines(shown));
    EXPECT_EQ(shown.takeFirst().at(0).toInt(), 1);
    kinds->setCurrentIndex(kinds->findText("All Activities"));
    ASSERT_TRUE(waitForLines(shown));
    shown.clear();
    year->setCurrentIndex(year->findText("2023"));
    ASSERT_TRUE(waitForLines(shown));
    EXPECT_EQ(shown.takeFirst().at(0).toInt(), 3);

    // A new activity shows after a refresh, as after an import.
    addRides(1, "walking", in2023 + 1000);
    panel.refresh();
    ASSERT_TRUE(waitForLines(shown));
    EXPECT_EQ(shown.takeFirst().at(0).toInt(), 4);
}

TEST_F(HeatmapPanelTest, TheFirstBuildCanBeCancelledAndContinued) {
    addRides(40, "running", kRideStart, 500);
    HeatmapPanel panel(storeFile, Preferences::shared());
    QSignalSpy shown(&panel, &HeatmapPanel::linesShown);
    panel.show();
    ASSERT_TRUE(panel.isBuilding());
    EXPECT_TRUE(panel.findChild<ProgressRow*>()->isVisible());
    ASSERT_TRUE(action(panel)->isVisible());
    EXPECT_EQ(action(panel)->accessibleName(), "Cancel heatmap");
    QTest::mouseClick(action(panel), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.isBuilding(); }, 30000));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(fakeMap(panel).heatmapShown, 0);
    EXPECT_EQ(panel.statusText(), "Cancelled. The routes prepared so far are kept.");
    EXPECT_EQ(action(panel)->text(), "Continue");
    EXPECT_FALSE(panel.findChild<ProgressRow*>()->isVisible());

    QTest::mouseClick(action(panel), Qt::LeftButton);
    ASSERT_TRUE(waitForLines(shown, 120000));
    EXPECT_EQ(shown.takeFirst().at(0).toInt(), 40);
}

TEST_F(HeatmapPanelTest, AStoreThatCannotBeReadGivesAMessageNotACrash) {
    std::ofstream(storeFile) << std::string(4096, 'x');
    HeatmapPanel panel(storeFile, Preferences::shared());
    panel.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.isBuilding(); }, 30000));
    EXPECT_TRUE(panel.statusText().startsWith("The heatmap could not be made: "))
        << panel.statusText().toStdString();
    EXPECT_EQ(fakeMap(panel).heatmapShown, 0);
}

TEST_F(HeatmapPanelTest, EveryControlHasAnAccessibleName) {
    HeatmapPanel panel(storeFile, Preferences::shared());
    QSignalSpy shown(&panel, &HeatmapPanel::linesShown);
    panel.show();
    ASSERT_TRUE(waitForLines(shown));
    EXPECT_EQ(panel.statusText(), "No routes for this choice.");
    for (QWidget* control : panel.findChildren<QWidget*>()) {
        bool interactive = qobject_cast<QComboBox*>(control) ||
                           qobject_cast<QPushButton*>(control) ||
                           qobject_cast<ProgressRow*>(control) || control == panel.map()->widget();
        if (!interactive) continue;
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
    }
}

}  // namespace
}  // namespace vantrel::test
