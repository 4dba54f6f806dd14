#include <gtest/gtest.h>

#include "GeocodingTestWorld.h"
#include "model/RideStore.h"
#include "services/FallbackGeocoder.h"
#include "services/GeocodeCache.h"
#include "services/LocationPickerSearch.h"
#include "services/LocationPickerStart.h"
#include "services/OfflineGeocoder.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

constexpr const char* kPlaces =
    "33.66094\t-95.55551\tParis\tLamar County\tUnited States\n"
    "48.85341\t2.3488\tParis\tParis\tFrance\n"
    "48.8592\t2.3417\tParis 01 Louvre\tParis\tFrance\n"
    "46.94809\t7.44744\tBern\tBern-Mittelland\tSwitzerland\n";

TEST(LocationPickerSearchTest, TrimsSearchesAndExplainsMisses) {
    test::GeocodingTestWorld world;
    EXPECT_TRUE(LocationPickerSearch::submit(world.geocoder(), "  \n\t ").ignored);
    EXPECT_TRUE(world.lookups().empty());

    auto miss = LocationPickerSearch::submit(world.geocoder(), "  Atlantis \n");
    EXPECT_EQ(miss.searchError, "No matches for \"Atlantis\".");
    EXPECT_EQ(world.lookups().back().text, "Atlantis");

    world.searchHits = {{46.2, 6.15}, {1, 1}};
    auto hit = LocationPickerSearch::submit(world.geocoder(), "Genève");
    EXPECT_EQ(hit.coordinate, (CodableCoordinate{46.2, 6.15}));
    EXPECT_FALSE(hit.searchError);

    world.failWith = 502;
    auto failed = LocationPickerSearch::submit(world.geocoder(), "Genève");
    EXPECT_FALSE(failed.coordinate);
    EXPECT_TRUE(failed.searchError);
}

TEST(LocationPickerSearchTest, TheTableAnswersWhatTheServiceCannotAndTheCacheRemembers) {
    test::TempDir dir;
    test::GeocodingTestWorld world;
    auto places = PlaceTable::parse(kPlaces);
    auto settings = world.settings();
    settings.cache = std::make_shared<GeocodeCache>(dir / "cache.sqlite");
    FallbackGeocoder geocoder(std::make_unique<OnlineGeocoder>(settings),
                              std::make_unique<OfflineGeocoder>(places));

    // The service knows nothing of the name; the table does.
    EXPECT_EQ(LocationPickerSearch::submit(geocoder, "bern").coordinate,
              (CodableCoordinate{46.94809, 7.44744}));
    // Asked again, the remembered answer comes without a request.
    auto asked = world.lookups().size();
    EXPECT_EQ(LocationPickerSearch::submit(geocoder, "bern").coordinate,
              (CodableCoordinate{46.94809, 7.44744}));
    EXPECT_EQ(world.lookups().size(), asked);

    world.failWith = 503;
    EXPECT_EQ(LocationPickerSearch::submit(geocoder, "Paris, United States").coordinate,
              (CodableCoordinate{33.66094, -95.55551}));
    // Neither answers: the failure is told as such, not as an unknown place.
    auto failed = LocationPickerSearch::submit(geocoder, "Atlantis");
    ASSERT_TRUE(failed.searchError);
    EXPECT_EQ(failed.searchError->rfind("No matches", 0), std::string::npos);
}

TEST(LocationPickerSearchTest, SuggestsTownsWithTheirCountry) {
    auto places = PlaceTable::parse(kPlaces);
    auto suggestions = LocationPickerSearch::suggestions(places, " paris");
    ASSERT_EQ(suggestions.size(), 3u);
    EXPECT_EQ(suggestions[0].label, "Paris, France");
    EXPECT_EQ(suggestions[1].label, "Paris, Lamar County, United States");
    EXPECT_EQ(suggestions[2].label, "Paris 01 Louvre, Paris, France");
    EXPECT_EQ(suggestions[1].coordinate, (CodableCoordinate{33.66094, -95.55551}));
    EXPECT_TRUE(LocationPickerSearch::suggestions(places, "p").empty());
    // A suggestion searched for finds its own town.
    OfflineGeocoder geocoder(places);
    EXPECT_EQ(LocationPickerSearch::submit(geocoder, suggestions[1].label).coordinate,
              suggestions[1].coordinate);
}

class LocationPickerStartTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment m_environment;
    test::TempDir m_dir;
    std::unique_ptr<RideStore> m_store = RideStore::open(m_dir / "store.sqlite");

    RideRef add(Date date, std::optional<CodableCoordinate> at) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = date;
        if (at) {
            RoutePoint start;
            start.coordinate = *at;
            RoutePoint next = start;
            next.coordinate.latitude += 0.01;
            ride->setRoutePoints({start, next});
        }
        m_store->insert(ride);
        m_store->save();
        return ride;
    }
};

TEST_F(LocationPickerStartTest, OpensWhereTheActivityOrItsNeighboursAre) {
    auto indoor = add(10 * 86400, std::nullopt);
    EXPECT_FALSE(locationPickerStart(*m_store, *indoor, std::nullopt));

    add(1 * 86400, CodableCoordinate{46.9, 7.4});   // nine days before
    add(20 * 86400, CodableCoordinate{47.4, 8.5});  // ten days after
    add(9 * 86400, std::nullopt);                   // the day before, indoors too
    EXPECT_EQ(locationPickerStart(*m_store, *indoor, std::nullopt), (CodableCoordinate{46.9, 7.4}));
    add(12 * 86400, CodableCoordinate{45.5, 9.2});  // two days after
    EXPECT_EQ(locationPickerStart(*m_store, *indoor, std::nullopt), (CodableCoordinate{45.5, 9.2}));

    // The user's last pick wins over the neighbours; the activity's own place over both.
    EXPECT_EQ(locationPickerStart(*m_store, *indoor, CodableCoordinate{40, -105}),
              (CodableCoordinate{40, -105}));
    indoor->mapCenterLat = 47.05;
    indoor->mapCenterLon = 8.3;
    EXPECT_EQ(locationPickerStart(*m_store, *indoor, CodableCoordinate{40, -105}),
              (CodableCoordinate{47.05, 8.3}));
    auto outdoor = add(30 * 86400, CodableCoordinate{46.2, 6.1});
    EXPECT_EQ(locationPickerStart(*m_store, *outdoor, CodableCoordinate{40, -105}),
              (CodableCoordinate{46.2, 6.1}));
}

TEST_F(LocationPickerStartTest, RemembersTheLastPick) {
    auto& preferences = Preferences::shared();
    EXPECT_FALSE(lastPickedLocation(preferences));
    rememberPickedLocation(preferences, {47.01, -8.025});
    EXPECT_EQ(lastPickedLocation(preferences), (CodableCoordinate{47.01, -8.025}));
    for (const char* broken : {"47.01", "north,east", "91,8", "47,8x", ""}) {
        preferences.setString("lastPickedLocation", broken);
        EXPECT_FALSE(lastPickedLocation(preferences)) << broken;
    }
}

}  // namespace
}  // namespace vantrel
