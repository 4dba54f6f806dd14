#include <gtest/gtest.h>

#include <map>
#include <set>

#include "GeocodingTestWorld.h"
#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "services/FallbackGeocoder.h"
#include "services/GeocodeCache.h"
#include "services/GeocodingService.h"
#include "services/LocationChooser.h"
#include "services/OfflineGeocoder.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

// Four home routes of 20 points each, about 10 km apart, each near a town of the place table.
constexpr std::array<CodableCoordinate, 4> kRouteStarts = {
    CodableCoordinate{46.90, 7.40}, {47.00, 7.40}, {46.90, 7.55}, {47.00, 7.55}};
constexpr const char* kPlaces =
    "46.905\t7.405\tKöniz\tBern-Mittelland\n"
    "47.005\t7.405\tSchüpfen\tSeeland\n"
    "46.905\t7.555\tWorb\tBern-Mittelland\n"
    "47.005\t7.555\tJegenstorf\tBern-Mittelland\n";
const std::array<std::string, 4> kTowns = {"Köniz", "Schüpfen", "Worb", "Jegenstorf"};

std::vector<RoutePoint> homeRoute(std::size_t index) {
    std::vector<RoutePoint> route;
    for (int i = 0; i < 20; ++i) {
        RoutePoint p;
        p.coordinate = {kRouteStarts[index].latitude + i * 0.0005,
                        kRouteStarts[index].longitude + (i % 5) * 0.0004};
        p.altitude = 500 + (i % 7) * 3;  // highest in the middle, not at the far end
        p.timestamp = i;
        route.push_back(p);
    }
    return route;
}

bool near(CodableCoordinate a, CodableCoordinate b) {
    return std::abs(a.latitude - b.latitude) < 0.02 && std::abs(a.longitude - b.longitude) < 0.02;
}

class GeocodingHistoryTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment m_environment;
    ScopedSharedLogger m_logSession;
    test::TempDir m_dir;
    test::GeocodingTestWorld m_world;
    PlaceTable m_places = [this] {
        test::writeFileBytes(m_dir / "places.tsv", bytesOf(kPlaces));
        return PlaceTable::load(m_dir / "places.tsv");
    }();
    std::unique_ptr<RideStore> m_store = RideStore::open(m_dir / "store.sqlite");
    CancellationToken m_token;
    std::vector<GeocodeStatus> m_statuses;
    std::vector<milliseconds> m_waits;

    GeocodingHistoryTest() {
        // The first route lies in a park; the others only in their towns.
        m_world.areasAt = [](CodableCoordinate c) {
            if (near(c, kRouteStarts[0])) return std::vector<std::string>{"Gurten Regional Park"};
            return std::vector<std::string>{};
        };
    }

    /// Online with a cache file of this test (in memory when `file` is empty), else the table.
    std::unique_ptr<Geocoder> geocoder(OnlineGeocoder::Settings settings,
                                       const std::filesystem::path& file) {
        if (!file.empty()) settings.cache = std::make_shared<GeocodeCache>(file);
        return std::make_unique<FallbackGeocoder>(std::make_unique<OnlineGeocoder>(settings),
                                                  std::make_unique<OfflineGeocoder>(m_places));
    }

    int run(Geocoder& geocoder, bool replaceExisting = false) {
        m_statuses.clear();
        m_waits.clear();
        GeocodingService::Context context{
            geocoder, PersistentLogger::shared(),
            [this](const GeocodeStatus& s) { m_statuses.push_back(s); },
            [this](milliseconds d, const CancellationToken&) {
                m_waits.push_back(d);
                return true;
            }};
        return GeocodingService::startGeocoding(*m_store, replaceExisting, context, m_token);
    }

    /// `count` activities riding the four routes in turn, oldest first.
    void addHistory(int count) {
        for (int i = 0; i < count; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = 1000.0 * i;
            ride->setRoutePoints(homeRoute(static_cast<std::size_t>(i) % 4));
            m_store->insert(ride);
        }
        m_store->save();
    }

    /// Stored names by route, read through a connection of their own.
    std::map<std::size_t, std::set<std::string>> namesByRoute() {
        std::map<std::size_t, std::set<std::string>> names;
        for (const auto& ride : RideStore::open(m_store->path())->allLiveActivities()) {
            auto index = static_cast<std::size_t>(ride->date / 1000) % 4;
            names[index].insert(ride->city.value_or("(none)"));
        }
        return names;
    }

    long waitsOf(milliseconds wait) const {
        return std::count(m_waits.begin(), m_waits.end(), wait);
    }
};

TEST_F(GeocodingHistoryTest, FourRoutesAreAskedAboutOnceAndNeverAgain) {
    addHistory(200);
    auto first = geocoder(m_world.settings(), m_dir / "cache.sqlite");
    EXPECT_EQ(run(*first), 200);

    auto lookups = m_world.lookups();
    std::set<std::string> questions;
    for (const auto& lookup : lookups) questions.insert(lookup.target);
    EXPECT_EQ(questions.size(), lookups.size()) << "a question was asked twice";
    // The park route stops at its first probe; the others probe 5 times, search 3 times and
    // ask for their town.
    EXPECT_EQ(lookups.size(), 1u + 3 * 9);
    EXPECT_EQ(first->requestsSent(), lookups.size());
    // Only the first ride of each route sent requests, so only those pause.
    EXPECT_EQ(waitsOf(GeocodingService::kPauseBetweenActivities), 4);
    EXPECT_EQ(waitsOf(LocationChooser::kProbeWait), 3 * 5);
    auto names = namesByRoute();
    EXPECT_EQ(names[0], std::set<std::string>{"Gurten Regional Park"});
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(names[i], std::set<std::string>{"Springfield"});

    // The next run names everything again from the cache file: no request, no pause.
    auto second = geocoder(m_world.settings(), m_dir / "cache.sqlite");
    EXPECT_EQ(run(*second, true), 200);
    EXPECT_EQ(m_world.lookups().size(), lookups.size());
    EXPECT_EQ(second->requestsSent(), 0u);
    EXPECT_TRUE(m_waits.empty());
    EXPECT_EQ(namesByRoute(), names);
}

TEST_F(GeocodingHistoryTest, WithoutANetworkTheTableNamesEverythingAtOnce) {
    addHistory(12);
    auto settings = m_world.settings();
    settings.nominatimURL = "http://127.0.0.1:1";
    settings.overpassURL = "http://127.0.0.1:1/api/interpreter";
    auto refused = geocoder(settings, {});
    EXPECT_EQ(run(*refused), 12);

    EXPECT_EQ(refused->requestsSent(), 3u);
    EXPECT_TRUE(refused->isOffline());
    // The two probes before the third failure paused; nothing after it did.
    EXPECT_EQ(m_waits, (std::vector<milliseconds>{LocationChooser::kProbeWait,
                                                  LocationChooser::kProbeWait}));
    ASSERT_EQ(m_statuses.size(), 14u);
    EXPECT_EQ(m_statuses[1].progress, "Geocoding 1 of 12…");
    for (std::size_t i = 2; i < 13; ++i) {
        EXPECT_EQ(m_statuses[i].progress, GeocodingService::kOfflineProgress);
        EXPECT_EQ(m_statuses[i].current, static_cast<int>(i));
        EXPECT_EQ(m_statuses[i].total, 12);
    }
    EXPECT_EQ(m_statuses.back().progress, "Done — geocoded 12 rides.");
    auto names = namesByRoute();
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(names[i], std::set<std::string>{kTowns[i]});

    // The next run tries the services again.
    auto again = geocoder(settings, {});
    run(*again, true);
    EXPECT_EQ(again->requestsSent(), 3u);
}

TEST_F(GeocodingHistoryTest, AStoppedOfflineRunKeepsTheNamesItGave) {
    addHistory(12);
    auto settings = m_world.settings();
    settings.nominatimURL = "http://127.0.0.1:1";
    settings.overpassURL = "http://127.0.0.1:1/api/interpreter";
    auto refused = geocoder(settings, {});
    GeocodingService::Context context{*refused, PersistentLogger::shared(),
                                      [this](const GeocodeStatus& s) {
                                          // Stop while the seventh activity is being named: six are
                                          // named, none of them saved yet, as no request was sent.
                                          if (s.current == 7) m_token.cancel();
                                      },
                                      [](milliseconds, const CancellationToken&) { return true; }};
    EXPECT_EQ(GeocodingService::startGeocoding(*m_store, false, context, m_token), 7);

    int named = 0;
    for (const auto& ride : RideStore::open(m_store->path())->allLiveActivities()) {
        named += ride->city.has_value();
    }
    EXPECT_EQ(named, 6);
}

TEST_F(GeocodingHistoryTest, OnlyConnectionFailuresMeanOffline) {
    addHistory(4);
    m_world.failWith = 503;
    auto failing = geocoder(m_world.settings(), {});
    run(*failing, true);
    EXPECT_FALSE(failing->isOffline());
    EXPECT_EQ(m_world.lookups().size(), 4u * 9);
    for (auto& [route, names] : namesByRoute()) {
        EXPECT_EQ(names, std::set<std::string>{kTowns[route]});
    }

    // A server that does not answer in time counts as a network that is gone.
    test::LocalHttpServer slow([](const auto&) {
        return test::LocalHttpServer::Response{200, "[]", milliseconds(2000)};
    });
    auto settings = m_world.settings();
    settings.nominatimURL = slow.url();
    settings.overpassURL = slow.url() + "/api/interpreter";
    settings.http.timeout = milliseconds(200);
    auto timingOut = geocoder(settings, {});
    run(*timingOut, true);
    EXPECT_TRUE(timingOut->isOffline());
    EXPECT_EQ(timingOut->requestsSent(), 3u);
}

TEST_F(GeocodingHistoryTest, TheCacheChoosesTheSameNamesOnARealRoute) {
    auto ride = importActivityFile(
        test::readFileBytes(test::corpusFile("togeojson__garmin-connect-run.gpx")),
        "togeojson__garmin-connect-run.gpx", std::nullopt);
    auto route = ride.routePoints();
    ASSERT_GE(route.size(), 100u);
    // A preserve encloses only the point farthest from the start; a park lies along the route.
    auto farthest = LocationChooser::probePoints(route)[1];
    m_world.areasAt = [farthest](CodableCoordinate c) {
        if (LocationChooser::distanceMeters(c, farthest) < 50) {
            return std::vector<std::string>{"District of Columbia", "Rock Creek Preserve"};
        }
        return std::vector<std::string>{"District of Columbia"};
    };
    m_world.places["park"] = {{"Meridian Hill State Park", route[route.size() / 2].coordinate}};

    auto namesOf = [&](Geocoder& geocoder) {
        LocationChooser chooser(geocoder, m_token,
                                [](milliseconds, const CancellationToken&) { return true; });
        auto shortRoute = std::vector<RoutePoint>(route.begin(), route.begin() + 4);
        return std::vector<std::optional<std::string>>{chooser.locationName(route),
                                                       chooser.parkFromPointsOfInterest(route),
                                                       chooser.locationName(shortRoute)};
    };
    auto uncached = namesOf(*geocoder(m_world.settings(), {}));
    EXPECT_EQ(uncached, (std::vector<std::optional<std::string>>{
                            "Rock Creek Preserve", "Meridian Hill State Park", "Springfield"}));
    auto cold = geocoder(m_world.settings(), m_dir / "cache.sqlite");
    EXPECT_EQ(namesOf(*cold), uncached);
    auto warm = geocoder(m_world.settings(), m_dir / "cache.sqlite");
    EXPECT_EQ(namesOf(*warm), uncached);
    EXPECT_EQ(warm->requestsSent(), 0u);
}

}  // namespace
}  // namespace vantrel
