#include <QScreen>
#include <algorithm>

#include "app/AppFixture.h"
#include "app/detail/ActivityDetailView.h"
#include "app/flows/LocatingFlows.h"
#include "app/shell/MainWindow.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"
#include "model/Preferences.h"
#include "services/OfflineGeocoder.h"

namespace vantrel::test {
namespace {

constexpr CodableCoordinate kBern{46.948, 7.447};

class StoreRefreshTest : public AppFixture {
  protected:
    ActivityDetailView* detail() {
        return qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    }
};

// A locating run writes through its own connection on a worker thread; what it names must
// appear in the open detail view without a restart.
TEST_F(StoreRefreshTest, ASelectedActivityShowsItsNewLocationOnceLocatingEnds) {
    // No network: the online look-up fails at once and the offline table names the town.
    Preferences::shared().setString("nominatimURL", "http://127.0.0.1:1");
    Preferences::shared().setString("overpassURL", "http://127.0.0.1:1");
    std::string town = *OfflineGeocoder().reverseGeocode(kBern)->front().locality;

    int year = localYear(now());
    RideRef ride = addRide(year, 1, 2);
    std::vector<RoutePoint> route;
    route.reserve(3);
    for (int i = 0; i < 3; ++i) route.push_back({Uuid::random(), kBern, 540, ride->date + i * 60});
    ride->setRoutePoints(route);
    startApp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return detail() != nullptr; }));
    EXPECT_EQ(detail()->valueOf("Location"), "");

    app->mainWindow()->locatingFlows()->geocodeSelected(detail()->ride());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return detail() && detail()->valueOf("Location") == QString::fromStdString(town); },
        15000));
}

TEST_F(StoreRefreshTest, WindowGeometryIsRememberedBetweenRuns) {
    addRide(2024, 7, 4);
    startApp();
    // A size the screen holds: a larger one is fitted to the screen when the window opens.
    QSize available = app->mainWindow()->screen()->availableGeometry().size();
    app->mainWindow()->resize(std::min(1010, available.width() - 31),
                              std::min(707, available.height() - 23));
    QSize remembered = app->mainWindow()->size();
    app->mainWindow()->close();
    app.reset();

    app = std::make_unique<VantrelApp>(RideStore::open(storePath));
    EXPECT_EQ(app->mainWindow()->size(), remembered);
}

}  // namespace
}  // namespace vantrel::test
