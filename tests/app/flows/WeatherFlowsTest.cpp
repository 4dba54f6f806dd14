#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/AppFixture.h"
#include "app/detail/ActivityDetailView.h"
#include "app/flows/ImportFlows.h"
#include "app/flows/WeatherFlows.h"
#include "app/shell/SettingsWindow.h"
#include "app/shell/WeatherSettings.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/sidebar/LocatingStatusView.h"
#include "services/FakeWeatherService.h"

namespace vantrel::test {
namespace {

using Response = LocalHttpServer::Response;

class WeatherFlowsTest : public AppFixture {
  protected:
    FakeWeatherService m_service;

    void SetUp() override {
        AppFixture::SetUp();
        m_service.configure(Preferences::shared());
        Preferences::shared().setString(kUnitSystemKey, "metric");
    }

    RideRef addRoutedRide(int day) {
        RideRef ride = addRide(2024, 5, day);
        std::vector<RoutePoint> route(2);
        route[0].coordinate = route[1].coordinate = {47.37, 8.54};
        route[0].timestamp = ride->date;
        route[1].timestamp = ride->date + ride->duration;
        ride->setRoutePoints(route);
        return ride;
    }

    WeatherFlows* flows() { return app->mainWindow()->weatherFlows(); }
    LocatingStatusView* status() { return app->mainWindow()->sidebar()->weatherStatus(); }

    ActivityDetailView* detail() {
        return qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    }

    bool waitForStoredWeather(const Uuid& rideID) {
        return QTest::qWaitFor(
            [&] {
                RideRef stored = RideStore::open(storePath)->fetchByRideID(rideID);
                return stored && stored->startWeatherData;
            },
            30000);
    }
};

TEST_F(WeatherFlowsTest, GeocodeMenuFetchesMissingAndTheOpenActivityShowsIt) {
    RideRef ride = addRoutedRide(1);
    startApp();
    app->mainWindow()->revealActivity(ride->rideID);
    ASSERT_TRUE(QTest::qWaitFor([&] { return detail() != nullptr; }));
    EXPECT_EQ(detail()->valueOf("Start"), "");

    QMenu* menu = app->mainWindow()->geocodeMenu();
    QAction* selected = actionNamed(menu, "Fetch Weather for Selected");
    ASSERT_TRUE(selected);
    EXPECT_TRUE(selected->isEnabled());
    triggerAction(menu, "Fetch Weather for Missing");
    // While the run is under way the group's commands wait for it.
    EXPECT_FALSE(actionNamed(menu, "Fetch Weather Again for All")->isEnabled());
    EXPECT_TRUE(status()->isVisible() || flows()->isRunning());

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return flows()->progressText().startsWith(QStringLiteral("Done")); }, 30000));
    EXPECT_EQ(flows()->progressText(),
              "Done — weather for 1 activity, 0 with no data yet, 0 failed.");
    EXPECT_EQ(status()->statusText(), flows()->progressText());
    // 09:00 local is 07:00 UTC in May: 13.5 °C and "Mostly Clear" in the stand-in world.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !detail()->valueOf("Start").isEmpty(); }));
    EXPECT_EQ(detail()->valueOf("Start"), "14°C  Mostly Clear");
    EXPECT_EQ(detail()->valueOf("Air Quality"), "37 Good");
    EXPECT_TRUE(actionNamed(menu, "Fetch Weather Again for All")->isEnabled());
    EXPECT_EQ(m_service.requests().size(), 2u);
}

TEST_F(WeatherFlowsTest, AnImportGetsItsWeatherInTheBackground) {
    Preferences::shared().setBoolean(kFetchWeatherAfterImportKey, true);
    RideRef older = addRoutedRide(1);  // imported long ago, without weather: left alone
    startApp();
    app->openFiles({QString::fromStdString(corpusFile("sportslib__strava.gpx").string())});
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 1 activity. Skipped 0 duplicates.");
    // The new activity is selected and opened; its conditions arrive without any command.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return detail() && !detail()->valueOf("End").isEmpty(); }, 30000));
    // 14:54 and 17:03 UTC in the stand-in world.
    EXPECT_EQ(detail()->valueOf("Start"), "17°C  Partly Cloudy");
    EXPECT_EQ(detail()->valueOf("End"), "19°C  Partly Cloudy");
    EXPECT_EQ(detail()->valueOf("Humidity"), "45%");
    auto weather = m_service.requestsTo("/v1/archive");
    ASSERT_EQ(weather.size(), 1u);
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "start_date"), "2018-05-14");
    EXPECT_FALSE(RideStore::open(storePath)->fetchByRideID(older->rideID)->startWeatherData);
}

TEST_F(WeatherFlowsTest, TheSettingsSwitchTurnsTheBackgroundRunOff) {
    startApp();
    auto* section = app->settingsWindow()->findChild<WeatherSettings*>();
    ASSERT_TRUE(section);
    EXPECT_FALSE(section->afterImportSwitch()->isChecked());  // the test environment's choice
    section->afterImportSwitch()->setChecked(true);
    EXPECT_TRUE(Preferences::shared().boolean(kFetchWeatherAfterImportKey));
    EXPECT_NE(section->explanation()->text().indexOf("127.0.0.1"), -1);
    section->afterImportSwitch()->setChecked(false);
    EXPECT_FALSE(Preferences::shared().boolean(kFetchWeatherAfterImportKey, true));

    app->openFiles({QString::fromStdString(corpusFile("sportslib__strava.gpx").string())});
    waitForAlert("Import Complete");
    QTest::qWait(300);
    EXPECT_TRUE(m_service.requests().empty());
    EXPECT_FALSE(flows()->isRunning());
}

TEST_F(WeatherFlowsTest, AbortStopsTheRunAndKeepsTheActivitiesAsTheyWere) {
    RideRef ride = addRoutedRide(1);
    addRoutedRide(2);
    startApp();
    m_service.override = [](const LocalHttpServer::Request&) -> std::optional<Response> {
        return Response{200, "{}", std::chrono::seconds(20)};
    };
    triggerAction(app->mainWindow()->geocodeMenu(), "Fetch Weather for Missing");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_service.requests().empty(); }, 30000));
    // The request can reach the server before the window has taken in the run's first count.
    ASSERT_TRUE(QTest::qWaitFor([&] { return status()->abortButton()->isVisible(); }, 10000));
    EXPECT_EQ(status()->abortButton()->accessibleName(), "Abort Fetching Weather");
    status()->abortButton()->click();
    EXPECT_FALSE(flows()->isRunning());
    // The request under way is broken off; the menu is offered again.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return actionNamed(app->mainWindow()->geocodeMenu(), "Fetch Weather for Missing")
                ->isEnabled();
        },
        10000));
    EXPECT_EQ(m_service.requests().size(), 1u);
    for (const RideRef& stored : storedRides()) EXPECT_FALSE(stored->startWeatherData);
}

}  // namespace
}  // namespace vantrel::test
