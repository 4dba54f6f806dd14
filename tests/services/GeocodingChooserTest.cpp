#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>
#include <random>

#include "GeocodingTestWorld.h"
#include "services/LocationChooser.h"

namespace vantrel {
namespace {

using Kind = test::GeocodingTestWorld::Kind;
using std::chrono::milliseconds;

RoutePoint point(double lat, double lon, double altitude = 0) {
    RoutePoint p;
    p.coordinate = {lat, lon};
    p.altitude = altitude;
    return p;
}

// Five points about 1 km apart heading north-east, highest in the middle.
std::vector<RoutePoint> fivePointRoute() {
    return {point(37.00, -122.00, 10), point(37.01, -122.01, 50), point(37.02, -122.02, 90),
            point(37.03, -122.03, 70), point(37.02, -122.00, 20)};
}

std::vector<Kind> kinds(const std::vector<test::GeocodingTestWorld::Lookup>& lookups) {
    std::vector<Kind> result;
    result.reserve(lookups.size());
    for (const auto& lookup : lookups) result.push_back(lookup.kind);
    return result;
}

class ChooserTest : public ::testing::Test {
  protected:
    test::GeocodingTestWorld m_world;
    CancellationToken m_token;
    std::vector<milliseconds> m_waits;
    std::function<bool()> m_onWait = [] { return true; };
    LocationChooser m_chooser{m_world.geocoder(), m_token,
                              [this](milliseconds d, const CancellationToken&) {
                                  m_waits.push_back(d);
                                  return m_onWait();
                              }};
};

TEST(ParkNameTest, KeywordsAreCaseInsensitiveSubstrings) {
    EXPECT_TRUE(LocationChooser::isParkName("Redwood State Park"));
    EXPECT_TRUE(LocationChooser::isParkName("Forest Hill"));
    EXPECT_TRUE(LocationChooser::isParkName("RANCHO SAN ANTONIO OPEN SPACE PRESERVE"));
    EXPECT_TRUE(LocationChooser::isParkName("Lake Chabot Regional Park"));
    EXPECT_FALSE(LocationChooser::isParkName("Central Park"));
    EXPECT_FALSE(LocationChooser::isParkName("Parkside"));
    EXPECT_FALSE(LocationChooser::isParkName(""));
}

TEST(ProbeGeometryTest, ProbesCentroidFarthestThenHighest) {
    auto probes = LocationChooser::probePoints(fivePointRoute());
    ASSERT_EQ(probes.size(), 5u);
    EXPECT_NEAR(probes[0].latitude, 37.016, 1e-9);
    EXPECT_NEAR(probes[0].longitude, -122.012, 1e-9);
    EXPECT_EQ(probes[1], (CodableCoordinate{37.03, -122.03}));
    EXPECT_EQ(probes[2], (CodableCoordinate{37.02, -122.02}));  // 90 m
    EXPECT_EQ(probes[3], (CodableCoordinate{37.03, -122.03}));  // 70 m
    EXPECT_EQ(probes[4], (CodableCoordinate{37.01, -122.01}));  // 50 m

    // Three points: all of them are "highest"; a route that never leaves its start probes it.
    std::vector<RoutePoint> still(3, point(1, 1));
    auto few = LocationChooser::probePoints(still);
    ASSERT_EQ(few.size(), 5u);
    EXPECT_EQ(few[1], (CodableCoordinate{1, 1}));
}

TEST(ProbeGeometryTest, TheFarthestPointIsTheGeodesicOne) {
    auto bruteForce = [](const std::vector<RoutePoint>& route) {
        CodableCoordinate farthest = route.front().coordinate;
        double best = 0;
        for (const auto& p : route) {
            double d = LocationChooser::distanceMeters(route.front().coordinate, p.coordinate);
            if (d > best) {
                best = d;
                farthest = p.coordinate;
            }
        }
        return farthest;
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<double> azimuth(-180, 180), spread(-0.005, 0.005);
    for (double latitude : {0.0, 46.9, -33.9, 78.2}) {
        // Points within half a percent of 20 km from the start in every direction, where
        // ellipsoid and sphere disagree on the order: only the geodesic distance may decide.
        std::vector<RoutePoint> ring{point(latitude, 10)};
        for (int i = 0; i < 400; ++i) {
            double lat = 0, lon = 0;
            GeographicLib::Geodesic::WGS84().Direct(latitude, 10, azimuth(random),
                                                    20'000 * (1 + spread(random)), lat, lon);
            ring.push_back(point(lat, lon));
        }
        EXPECT_EQ(LocationChooser::probePoints(ring)[1], bruteForce(ring)) << latitude;
    }
    // Ties keep the earlier point; a route that never leaves its start probes the start.
    std::vector<RoutePoint> tie{point(0, 0), point(0, 1), point(0, -1), point(0, 1)};
    EXPECT_EQ(LocationChooser::probePoints(tie)[1], (CodableCoordinate{0, 1}));
    std::vector<RoutePoint> still(7, point(5, 5));
    EXPECT_EQ(LocationChooser::probePoints(still)[1], (CodableCoordinate{5, 5}));
}

TEST(ProbeGeometryTest, SamplesFiftyEvenlySpacedPoints) {
    std::vector<RoutePoint> route;
    route.reserve(120);
    for (int i = 0; i < 120; ++i) route.push_back(point(i, 0));
    auto samples = LocationChooser::samplePoints(route);
    ASSERT_EQ(samples.size(), 50u);
    EXPECT_EQ(samples[1].latitude, 2);     // ⌊1 × 120 ÷ 50⌋
    EXPECT_EQ(samples[49].latitude, 117);  // ⌊49 × 120 ÷ 50⌋
    route.resize(50);
    EXPECT_EQ(LocationChooser::samplePoints(route).size(), 50u);
}

TEST_F(ChooserTest, ShortRoutesAreNamedByTheirTownOnly) {
    auto route = fivePointRoute();
    route.pop_back();
    EXPECT_EQ(m_chooser.locationName(route), "Springfield");
    EXPECT_EQ(kinds(m_world.lookups()), std::vector<Kind>{Kind::reverse});
    EXPECT_FALSE(m_chooser.locationName({}));
}

TEST_F(ChooserTest, StopsProbingAtTheFirstPark) {
    auto probes = LocationChooser::probePoints(fivePointRoute());
    m_world.areasAt = [&](CodableCoordinate c) {
        if (std::abs(c.latitude - probes[1].latitude) < 1e-6) {
            return std::vector<std::string>{"Santa Cruz County", "Redwood State Park"};
        }
        return std::vector<std::string>{"Ocean View Playground"};
    };
    EXPECT_EQ(m_chooser.locationName(fivePointRoute()), "Redwood State Park");
    auto lookups = m_world.lookups();
    EXPECT_EQ(kinds(lookups), (std::vector<Kind>{Kind::areas, Kind::areas}));
    EXPECT_NEAR(lookups[0].coordinate.latitude, probes[0].latitude, 1e-6);
    EXPECT_EQ(m_waits, std::vector<milliseconds>{milliseconds(200)});
}

TEST_F(ChooserTest, FallsBackToSearchThenTown) {
    EXPECT_EQ(m_chooser.locationName(fivePointRoute()), "Springfield");
    auto lookups = m_world.lookups();
    EXPECT_EQ(kinds(lookups),
              (std::vector<Kind>{Kind::areas, Kind::areas, Kind::areas, Kind::areas, Kind::areas,
                                 Kind::places, Kind::places, Kind::places, Kind::reverse}));
    EXPECT_EQ(lookups[5].text, "park");
    EXPECT_EQ(lookups[6].text, "preserve");
    EXPECT_EQ(lookups[7].text, "open space");
    EXPECT_EQ(m_waits.size(), 5u);

    m_world.town.reset();  // only a county answers
    EXPECT_EQ(m_chooser.cityName(fivePointRoute()), "Greene County");
    m_world.county.reset();
    EXPECT_FALSE(m_chooser.cityName(fivePointRoute()));
}

TEST_F(ChooserTest, ScoresSearchResultsByNearbySamplePoints) {
    // 50 points: 41 far away, 5 at B, 4 at C.
    CodableCoordinate a{10, 10}, b{0, 0}, c{0, 1};
    std::vector<RoutePoint> route(41, point(a.latitude, a.longitude));
    for (int i = 0; i < 5; ++i) route.push_back(point(b.latitude, b.longitude + 0.02));
    for (int i = 0; i < 4; ++i) route.push_back(point(c.latitude, c.longitude));
    m_world.places["park"] = {{"Playground", b}, {"Creek Open Space", c}, {std::nullopt, b}};
    m_world.places["preserve"] = {
        {"Rancho Preserve", c}, {"Rancho Preserve", b}, {"Bay Preserve", b}};
    // "Bay Preserve" scores 5 ÷ 50 = 0.1 and qualifies; "Creek Open Space" scores 0.08; the
    // second "Rancho Preserve" is dropped as a repeated name, so its first entry (0.08) counts.
    EXPECT_EQ(m_chooser.parkFromPointsOfInterest(route), "Bay Preserve");
    m_world.places["preserve"] = {{"Rancho Preserve", c}, {"Rancho Preserve", b}};
    EXPECT_FALSE(m_chooser.parkFromPointsOfInterest(route));
    // Equal scores keep the earlier item.
    m_world.places["open space"] = {{"Upper Open Space", b}, {"Lower Open Space", b}};
    EXPECT_EQ(m_chooser.parkFromPointsOfInterest(route), "Upper Open Space");
}

TEST_F(ChooserTest, CancellingDuringAProbeWaitEndsTheLookUps) {
    m_onWait = [this] {
        m_token.cancel();
        return false;
    };
    EXPECT_FALSE(m_chooser.locationName(fivePointRoute()));
    EXPECT_EQ(kinds(m_world.lookups()), std::vector<Kind>{Kind::areas});
}

TEST_F(ChooserTest, FailedLookUpsCountAsEmptyAnswers) {
    m_world.failWith = 503;
    EXPECT_FALSE(m_chooser.locationName(fivePointRoute()));
    EXPECT_EQ(m_world.lookups().size(), 9u);
}

}  // namespace
}  // namespace vantrel
