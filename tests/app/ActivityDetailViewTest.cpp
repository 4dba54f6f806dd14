#include <QToolButton>

#include "AppFixture.h"
#include "app/ActivityDetailView.h"
#include "app/RideChartView.h"
#include "services/RideTrimService.h"

namespace vantrel::test {
namespace {

constexpr Date kStart = 800'000'000;

class ActivityDetailViewTest : public AppFixture {
  protected:
    void TearDown() override { view.reset(); }

    /// A ride at kStart: `minutes` route points one minute apart going north from
    /// (46.9, 7.4) over `latitudeSpan` degrees, at 100 m, with heart rate 150 at each point.
    RideRef rideWithRoute(int minutes, double latitudeSpan = 0.01, const char* type = "cycling") {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = kStart;
        ride->duration = minutes * 60.0;
        ride->activityType = type;
        ride->averageHeartRate = 150;
        ride->maxHeartRate = 150;
        std::vector<RoutePoint> route;
        std::vector<HeartRateSample> heartRate;
        for (int i = 0; i <= minutes; ++i) {
            double t = kStart + i * 60.0;
            double latitude = 46.9 + latitudeSpan * i / std::max(minutes, 1);
            route.push_back({Uuid::random(), {latitude, 7.4}, 100, t});
            heartRate.push_back({Uuid::random(), t, 150});
        }
        ride->setRoutePoints(route);
        ride->setHeartRateSamples(heartRate);
        ride->distance = 1000;
        return ride;
    }

    /// An indoor ride without a route: heart rate every minute from `firstSample` seconds
    /// after the start for an hour.
    RideRef indoorRide(double firstSample = 0, const char* type = "indoorCycling") {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = kStart;
        ride->duration = 3600;
        ride->activityType = type;
        std::vector<HeartRateSample> heartRate;
        for (int i = 0; i <= 60; ++i) heartRate.push_back({Uuid::random(), kStart + i * 60.0, 140});
        heartRate.front().timestamp = kStart + firstSample;
        ride->setHeartRateSamples(heartRate);
        return ride;
    }

    void show(RideRef ride, UnitSystem system = UnitSystem::metric) {
        store->insert(ride);
        store->save();
        view = std::make_unique<ActivityDetailView>(*store, ride, system);
        view->resize(1100, 800);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    /// The record as another connection reads it from the file.
    RideRef reread(const RideRef& ride) {
        readers.push_back(RideStore::open(storePath));
        RideRef copy = readers.back()->fetchByRideID(ride->rideID);
        readers.back()->loadDetails(copy);
        return copy;
    }

    std::unique_ptr<ActivityDetailView> view;
    std::vector<std::unique_ptr<RideStore>> readers;
};

TEST_F(ActivityDetailViewTest, ChartTitleFollowsTheSeriesAndNamesTheChart) {
    RideRef ride = rideWithRoute(30);
    ride->setPowerSamples({{Uuid::random(), kStart, 200}, {Uuid::random(), kStart + 600, 210}});
    show(ride);
    EXPECT_EQ(view->chart()->title(), "Power & Heart Rate");
    EXPECT_EQ(view->chart()->accessibleName(), "Power & Heart Rate");

    view.reset();
    show(rideWithRoute(30));
    EXPECT_EQ(view->chart()->title(), "Heart Rate & Elevation");
    EXPECT_EQ(view->chart()->accessibleName(), "Heart Rate & Elevation");
}

TEST_F(ActivityDetailViewTest, DraggingTheScrubberMovesTheMarkerWithItsLabel) {
    show(rideWithRoute(60));
    RideChartView* chart = view->chart();
    QRectF frame = chart->plotFrame();
    ASSERT_GT(frame.width(), 100);
    int y = static_cast<int>(frame.center().y());
    QTest::mousePress(chart->viewport(), Qt::LeftButton, {},
                      QPoint(static_cast<int>(frame.left()) - 40, y));
    EXPECT_EQ(view->scrubberProgress(), 0.0);  // left of the plot clamps to the start
    QTest::mouseMove(chart->viewport(), QPoint(static_cast<int>(frame.center().x()), y));
    ASSERT_TRUE(view->scrubberProgress());
    EXPECT_NEAR(*view->scrubberProgress(), 0.5, 0.01);
    EXPECT_FALSE(chart->scrubber().settled);
    QTest::mouseRelease(chart->viewport(), Qt::LeftButton, {},
                        QPoint(static_cast<int>(frame.right()) + 40, y));
    EXPECT_TRUE(chart->scrubber().settled);

    // The keys move the same scrubber once the chart has focus.
    chart->setFocus();
    QTest::keyClick(chart, Qt::Key_Home);
    EXPECT_EQ(view->scrubberProgress(), 0.0);
    QTest::keyClick(chart, Qt::Key_Right);
    EXPECT_NEAR(*view->scrubberProgress(), 0.01, 1e-9);
    EXPECT_TRUE(chart->scrubber().settled);
    EXPECT_FALSE(chart->scrubberLabel().isEmpty());
}

TEST_F(ActivityDetailViewTest, TrimAlertsSayWhatIsKept) {
    show(indoorRide());
    EXPECT_EQ(view->moreActionsButton()->accessibleName(), "More Actions");
    EXPECT_EQ(view->moreActionTitles(), (QStringList{"Trim Activity", "Hint"}));

    view->trimActivity();
    auto alert = Dialogs::lastOf(DialogRecord::Kind::alert);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, "Drag the Scrubber First");
    EXPECT_EQ(alert->text,
              "Drag across the chart to choose the point where you want the "
              "activity to end, then try again.");

    view->chart()->setProgress(0.5);  // halfway through the hour of samples
    view->trimActivity();             // the queue is empty: the user cancels
    auto confirm = Dialogs::lastOf(DialogRecord::Kind::confirm);
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->title, "Trim This Activity?");
    EXPECT_EQ(confirm->text,
              "Keep only the first 30:00 of this activity. Route, heart rate, and "
              "power data after that point will be removed.\n\nYou can Undo Trim "
              "for 30 days.");
    EXPECT_EQ(confirm->detail, "Trim");
    EXPECT_FALSE(view->ride()->trimmedAt);

    view->showTrimHint();
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::alert)->text,
              "Use the heart rate / elevation scrubber to set the point where the activity will "
              "be trimmed. Everything after that point is removed; you can undo for 30 days.");
}

TEST_F(ActivityDetailViewTest, ACutBeforeTheStartKeepsNothing) {
    show(indoorRide(-600));
    view->chart()->setProgress(0);
    view->trimActivity();
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->text,
              "Keep only the first 00:00 of this activity. Route, heart rate, and power data "
              "after that point will be removed.\n\nYou can Undo Trim for 30 days.");
}

TEST_F(ActivityDetailViewTest, TrimAndUndoGoThroughTheStore) {
    RideRef ride = rideWithRoute(60);
    show(ride);
    view->chart()->setProgress(0.5);
    Dialogs::pushAnswer(true);
    view->trimActivity();

    EXPECT_FALSE(view->scrubberProgress());
    RideRef trimmed = reread(ride);
    ASSERT_TRUE(trimmed);
    EXPECT_TRUE(trimmed->trimmedAt);
    EXPECT_EQ(trimmed->routePoints().size(), 31u);
    EXPECT_NEAR(trimmed->duration, 1800, 1);
    EXPECT_EQ(view->detail().coordinates.size(), 31u);
    EXPECT_TRUE(view->moreActionTitles().contains("Undo Trim"));

    Dialogs::pushAnswer(false);
    view->undoTrim();  // cancelled: nothing changes
    EXPECT_EQ(view->detail().coordinates.size(), 31u);
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->title, "Undo Trim?");
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->text,
              "Restore the full activity as it was before the last trim.");

    Dialogs::pushAnswer(true);
    view->undoTrim();
    RideRef restored = reread(ride);
    EXPECT_EQ(restored->routePoints().size(), 61u);
    EXPECT_FALSE(restored->trimmedAt);
    EXPECT_EQ(view->detail().coordinates.size(), 61u);
    EXPECT_FALSE(view->moreActionTitles().contains("Undo Trim"));
}

TEST_F(ActivityDetailViewTest, AnExpiredBackupIsPurgedBeforeShowing) {
    RideRef ride = rideWithRoute(10);
    RideTrimService::trim(*ride, kStart + 300, now() - RideTrimService::kUndoWindow - 1);
    ASSERT_TRUE(ride->preTrimBackup);
    show(ride);
    EXPECT_FALSE(ride->preTrimBackup);
    EXPECT_TRUE(ride->trimmedAt);
    EXPECT_FALSE(view->moreActionTitles().contains("Undo Trim"));
}

}  // namespace
}  // namespace vantrel::test
