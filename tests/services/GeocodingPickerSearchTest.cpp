#include <gtest/gtest.h>

#include "GeocodingTestWorld.h"
#include "services/LocationPickerSearch.h"

namespace vantrel {
namespace {

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

}  // namespace
}  // namespace vantrel
