#include <gtest/gtest.h>

#include "services/NominatimAnswer.h"
#include "services/OverpassAnswer.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

std::string fixture(const std::string& name) {
    return test::readFileText(test::testDataFile("geocoding/" + name));
}

TEST(NominatimAnswerTest, ReadsTownCountyAndPosition) {
    auto places = NominatimAnswer::parseReverse(fixture("nominatim_reverse_town.json"));
    ASSERT_TRUE(places);
    ASSERT_EQ(places->size(), 1u);
    EXPECT_EQ((*places)[0].locality, "Scotts Valley");
    EXPECT_EQ((*places)[0].subAdministrativeArea, "Santa Cruz County");
    EXPECT_NEAR((*places)[0].location->latitude, 37.0489718, 1e-9);

    // A city outranks a village whatever the key order; a state district stands in for a county.
    places = NominatimAnswer::parseReverse(fixture("nominatim_reverse_city_and_village.json"));
    EXPECT_EQ((*places)[0].locality, "Zürich");
    EXPECT_EQ((*places)[0].subAdministrativeArea, "Bezirk Zürich");

    EXPECT_EQ(NominatimAnswer::parseReverse(fixture("nominatim_reverse_error.json"))->size(), 0u);
}

TEST(NominatimAnswerTest, ReadsSearchResultsAndDropsBadPositions) {
    auto places = NominatimAnswer::parseSearch(fixture("nominatim_search.json"));
    ASSERT_TRUE(places);
    ASSERT_EQ(places->size(), 2u);
    EXPECT_NEAR((*places)[0].location->longitude, 8.5410422, 1e-9);
    EXPECT_FALSE((*places)[1].location);  // latitude 91
    EXPECT_EQ(NominatimAnswer::parseSearch("[]")->size(), 0u);
}

TEST(NominatimAnswerTest, MalformedAnswersAreNoAnswers) {
    for (const char* text : {"", "null", "[", "{\"lat\":", "<html>502 Bad Gateway</html>",
                             "{\"address\":[1,2]}", "[1]"}) {
        EXPECT_FALSE(NominatimAnswer::parseReverse(text)) << text;
    }
    auto placeless = NominatimAnswer::parseReverse("{\"lat\":37}");
    ASSERT_TRUE(placeless);
    EXPECT_FALSE(placeless->front().location);
    EXPECT_FALSE(NominatimAnswer::parseSearch("{\"error\":\"x\"}"));
    EXPECT_FALSE(NominatimAnswer::parseSearch("[{\"lat\":\"1\"},"));
}

TEST(OverpassAnswerTest, ReadsAreaNamesInOrder) {
    auto names = OverpassAnswer::parseNames(fixture("overpass_areas.json"));
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string>{"Henry Cowell Redwoods State Park",
                                                "Santa Cruz Mountains"}));
}

TEST(OverpassAnswerTest, ReadsItemsFromNodesAndCentres) {
    auto items = OverpassAnswer::parseItems(fixture("overpass_places.json"));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[0].name, "Skypark");
    EXPECT_EQ((*items)[1].coordinate, (CodableCoordinate{37.045, -122.065}));
    EXPECT_FALSE((*items)[2].name);
}

TEST(OverpassAnswerTest, ErrorsAndMalformedAnswersAreNoAnswers) {
    EXPECT_FALSE(OverpassAnswer::parseNames(fixture("overpass_remark_error.json")));
    EXPECT_FALSE(OverpassAnswer::parseNames(R"({"elements":[],"remark":"runtime error"})"));
    EXPECT_EQ(OverpassAnswer::parseItems(R"({"elements":[{"lat":"x","lon":1}]})")->size(), 0u);
    EXPECT_FALSE(OverpassAnswer::parseItems(R"({"elements":{}})"));
    EXPECT_FALSE(OverpassAnswer::parseNames("[]"));
    EXPECT_FALSE(OverpassAnswer::parseNames(std::string(100000, '[')));
    EXPECT_EQ(OverpassAnswer::parseNames(R"({"elements":[]})")->size(), 0u);
}

}  // namespace
}  // namespace vantrel
