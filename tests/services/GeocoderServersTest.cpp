#include <gtest/gtest.h>

#include "LocalHttpServer.h"
#include "model/Preferences.h"
#include "services/FallbackGeocoder.h"
#include "services/OfflineGeocoder.h"
#include "services/OnlineGeocoder.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;
using Response = test::LocalHttpServer::Response;

OnlineGeocoder::Settings settingsFor(const test::LocalHttpServer& server) {
    OnlineGeocoder::Settings settings;
    settings.nominatimURL = server.url() + "/";
    settings.overpassURL = server.url() + "/api/interpreter";
    settings.nominatimInterval = {};
    settings.overpassInterval = {};
    settings.http.timeout = milliseconds(400);
    settings.http.maxAnswerBytes = std::size_t{64} * 1024;
    return settings;
}

std::string fixture(const std::string& name) {
    return test::readFileText(test::testDataFile("geocoding/" + name));
}

TEST(OnlineGeocoderTest, SpeaksBothProtocols) {
    test::LocalHttpServer server([](const auto& request) {
        if (request.target.rfind("/reverse?", 0) == 0) {
            return Response{200, fixture("nominatim_reverse_town.json"), {}};
        }
        return Response{200, fixture("overpass_areas.json"), {}};
    });
    OnlineGeocoder geocoder(settingsFor(server));
    auto places = geocoder.reverseGeocode({37.05, -122.03});
    ASSERT_TRUE(places);
    EXPECT_EQ(places->front().locality, "Scotts Valley");
    auto areas = geocoder.areasOfInterest({37.05, -122.03});
    ASSERT_TRUE(areas);
    EXPECT_EQ(areas->front(), "Henry Cowell Redwoods State Park");

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(test::LocalHttpServer::queryValue(requests[0].target, "lat"), "37.0500000");
    EXPECT_EQ(test::LocalHttpServer::queryValue(requests[0].target, "format"), "jsonv2");
    EXPECT_EQ(requests[0].userAgent.rfind("Vantrel/", 0), 0u);
    auto query = test::LocalHttpServer::queryValue(requests[1].target, "data");
    EXPECT_NE(query.find("is_in(37.0500000,-122.0300000)"), std::string::npos);
    EXPECT_NE(query.find("[out:json]"), std::string::npos);
}

TEST(OnlineGeocoderTest, PlaceSearchQueriesTheRegionByKindAndName) {
    auto query = OnlineGeocoder::placesQuery("open space", {{0, 0}, 10'000, 10'000});
    EXPECT_NE(query.find("[landuse=recreation_ground]"), std::string::npos);
    EXPECT_NE(query.find("[name~\"open space\",i]"), std::string::npos);
    EXPECT_NE(query.find("(-0.0449156,-0.0449156,0.0449156,0.0449156)"), std::string::npos);
    // A user's words stay literal inside the query.
    auto odd = OnlineGeocoder::placesQuery("a\"];out;(", {{0, 0}, 10'000, 10'000});
    EXPECT_NE(odd.find(R"([name~"a\"\\];out;\\(",i])"), std::string::npos);
}

TEST(OnlineGeocoderTest, FailuresSlownessAndHugeAnswersAreNoAnswers) {
    std::string mode;
    test::LocalHttpServer server([&](const auto&) -> Response {
        if (mode == "status") return {503, "{}", {}};
        if (mode == "slow")
            return {200, fixture("nominatim_reverse_town.json"), milliseconds(3000)};
        if (mode == "huge") return {200, "[" + std::string(200'000, ' ') + "]", {}};
        return {200, "{\"place_id\":", {}};
    });
    for (std::string m : {"status", "slow", "huge", "malformed"}) {
        mode = m;
        auto settings = settingsFor(server);
        settings.restAfterServerError = {};  // both look-ups reach the server
        OnlineGeocoder geocoder(settings);
        auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(geocoder.reverseGeocode({1, 1})) << m;
        EXPECT_FALSE(geocoder.geocodeAddress("Zürich")) << m;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << m;
        EXPECT_EQ(geocoder.requestsSent(), 2u) << m;
    }
    OnlineGeocoder::Settings closed = settingsFor(server);
    closed.nominatimURL = "http://127.0.0.1:1";
    EXPECT_FALSE(OnlineGeocoder(closed).reverseGeocode({1, 1}));
}

TEST(OnlineGeocoderTest, PacesRequestsToOneServer) {
    test::LocalHttpServer server([](const auto&) {
        return Response{200, R"({"error":"Unable to geocode"})", {}};
    });
    auto settings = settingsFor(server);
    settings.nominatimInterval = milliseconds(150);
    OnlineGeocoder geocoder(settings);
    for (int i = 0; i < 3; ++i) geocoder.reverseGeocode({1, 1});
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_GE(requests[i].receivedAt - requests[i - 1].receivedAt, milliseconds(140));
    }
}

TEST(OnlineGeocoderTest, EndpointsComeFromThePreferences) {
    test::IsolatedEnvironment environment;
    auto defaults = OnlineGeocoder::Settings::fromPreferences(Preferences::shared());
    EXPECT_EQ(defaults.nominatimURL, "https://nominatim.openstreetmap.org");
    EXPECT_EQ(defaults.nominatimInterval, milliseconds(1000));
    EXPECT_EQ(defaults.overpassInterval, milliseconds(1000));
    Preferences::shared().setString(kNominatimURLKey, "http://127.0.0.1:8080");
    auto own = OnlineGeocoder::Settings::fromPreferences(Preferences::shared());
    EXPECT_EQ(own.nominatimURL, "http://127.0.0.1:8080");
    EXPECT_EQ(own.nominatimInterval, milliseconds(0));
    EXPECT_EQ(own.overpassInterval, milliseconds(1000));
}

class OfflineGeocoderTest : public ::testing::Test {
  protected:
    test::TempDir m_dir;
    PlaceTable table() {
        test::writeFileBytes(m_dir / "places.tsv",
                             bytesOf("46.94809\t7.44744\tBern\tBern-Mittelland\n"
                                     "broken line\n"
                                     "47.36667\t8.55\tZürich\tBezirk Zürich\n"
                                     "91\t8\tNowhere\t\n"
                                     "47.05\t8.3\tLuzern\t\n"
                                     "47.3717\t8.5423\tZürich (Kreis 1) / Lindenhof\t\n"
                                     "47.4\t8.6\tZürichberg\t\n"));
        return PlaceTable::load(m_dir / "places.tsv");
    }
};

TEST_F(OfflineGeocoderTest, NamesTheNearestTownWithinReach) {
    auto places = table();
    EXPECT_EQ(places.size(), 5u);
    OfflineGeocoder geocoder(places);
    auto answer = geocoder.reverseGeocode({47.3769, 8.5417});
    ASSERT_EQ(answer->size(), 1u);
    EXPECT_EQ(answer->front().locality, "Zürich");
    EXPECT_EQ(answer->front().subAdministrativeArea, "Bezirk Zürich");
    EXPECT_FALSE(geocoder.reverseGeocode({47.06, 8.31})->front().subAdministrativeArea);
    // A quarter is named after its town; a place that merely begins alike is not.
    EXPECT_EQ(geocoder.reverseGeocode({47.3717, 8.5423})->front().locality, "Zürich");
    EXPECT_EQ(geocoder.reverseGeocode({47.4, 8.6})->front().locality, "Zürichberg");
    EXPECT_TRUE(geocoder.reverseGeocode({0, 0})->empty());
    EXPECT_TRUE(geocoder.areasOfInterest({47.3769, 8.5417})->empty());
    EXPECT_TRUE(PlaceTable::load(m_dir / "missing.tsv").size() == 0);
}

TEST_F(OfflineGeocoderTest, FindsTownsByNameWithTheirCountry) {
    // Paris in France has quarters around it; the one in Texas stands alone. An older table
    // line without a country still counts.
    auto places = PlaceTable::parse(
        "33.66094\t-95.55551\tParis\tLamar County\tUnited States\n"
        "48.85341\t2.3488\tParis\tParis\tFrance\n"
        "48.8500\t2.3417\tParis 01 Louvre\tParis\tFrance\n"
        "48.8655\t2.3212\tParis 08 Élysée\tParis\tFrance\n"
        "47.36667\t8.55\tZürich\tBezirk Zürich\tSwitzerland\n"
        "46.2\t6.15\tGenève\t\n"
        "45\t7\ttoo\tmany\tfields\there\n");
    EXPECT_EQ(places.size(), 6u);
    OfflineGeocoder geocoder(places);
    auto paris = geocoder.geocodeAddress("paris");
    ASSERT_EQ(paris->size(), 4u);
    EXPECT_EQ(paris->at(0).country, "France");
    EXPECT_EQ(paris->at(1).country, "United States");
    EXPECT_EQ(paris->at(1).subAdministrativeArea, "Lamar County");
    EXPECT_EQ(paris->at(2).locality.value().rfind("Paris 0", 0), 0u);
    // A country or county after a comma chooses among towns of one name.
    auto texas = geocoder.geocodeAddress("Paris,  united ");
    ASSERT_EQ(texas->size(), 1u);
    EXPECT_EQ(texas->front().location, (CodableCoordinate{33.66094, -95.55551}));
    EXPECT_EQ(geocoder.geocodeAddress("Paris, Lamar")->size(), 1u);
    // Accents and case do not matter; the start of a name finds it.
    EXPECT_EQ(geocoder.geocodeAddress("ZURICH")->front().locality, "Zürich");
    EXPECT_EQ(geocoder.geocodeAddress("zür")->front().country, "Switzerland");
    // A town comes before its quarters, though they have as many places around.
    auto partial = geocoder.geocodeAddress("pari");
    ASSERT_EQ(partial->size(), 4u);
    EXPECT_EQ(partial->at(0).locality, "Paris");
    EXPECT_EQ(partial->at(0).country, "France");
    EXPECT_EQ(partial->at(1).locality, "Paris");
    EXPECT_EQ(geocoder.geocodeAddress("Geneve")->front().locality, "Genève");
    EXPECT_FALSE(geocoder.geocodeAddress("Geneve")->front().country);
    for (const char* nothing : {"Atlantis", "Paris, Germany", " , France", "\xff\xfe"}) {
        EXPECT_TRUE(geocoder.geocodeAddress(nothing)->empty()) << nothing;
    }
}

TEST_F(OfflineGeocoderTest, ShippedTableKnowsLargeTowns) {
    const auto& shipped = PlaceTable::shared();
    if (shipped.size() == 0) GTEST_SKIP() << "no place table was built";
    EXPECT_GT(shipped.size(), 100'000u);
    EXPECT_EQ(shipped.nearest({51.5072, -0.1276}, 30'000)->name, "London");
    EXPECT_EQ(shipped.search("London", 1).front().country, "United Kingdom");
    EXPECT_EQ(shipped.search("Paris", 1).front().country, "France");
    EXPECT_EQ(shipped.search("Zurich", 1).front().name, "Zürich");
    EXPECT_EQ(shipped.search("Paris, United States", 1).front().country, "United States");
}

TEST_F(OfflineGeocoderTest, FallbackAsksOfflineWhenTheServerFails) {
    test::LocalHttpServer server([](const auto&) { return Response{500, "", {}}; });
    auto places = table();
    FallbackGeocoder geocoder(std::make_unique<OnlineGeocoder>(settingsFor(server)),
                              std::make_unique<OfflineGeocoder>(places));
    EXPECT_EQ(geocoder.reverseGeocode({46.95, 7.45})->front().locality, "Bern");
    EXPECT_EQ(geocoder.reverseGeocode({47.37, 8.54})->front().locality, "Zürich");
    EXPECT_TRUE(geocoder.areasOfInterest({47.37, 8.54})->empty());
    // After the first failure each server is left alone for a while.
    EXPECT_EQ(server.requests().size(), 2u);
}

}  // namespace
}  // namespace vantrel
