#include <gtest/gtest.h>

#include <sstream>
#include <vips/vips8>

#include "cli/CliRunner.h"
#include "model/Preferences.h"
#include "services/ImageSource.h"
#include "services/PlaceTable.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

Bytes locatedJPEG() {
    initializeImageLibrary();
    auto image = (vips::VImage::black(64, 48, vips::VImage::option()->set("bands", 3)) + 90)
                     .cast(VIPS_FORMAT_UCHAR)
                     .copy();
    image.set("exif-ifd2-DateTimeOriginal", "2024:05:01 09:30:15");
    image.set("exif-ifd3-GPSLatitude", "47/1 22/1 3684/100");
    image.set("exif-ifd3-GPSLatitudeRef", "N");
    image.set("exif-ifd3-GPSLongitude", "8/1 32/1 3012/100");
    image.set("exif-ifd3-GPSLongitudeRef", "E");
    VipsBlob* blob = image.jpegsave_buffer();
    std::size_t length = 0;
    auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &length));
    Bytes bytes(data, data + length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

class ServicesCommandsTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";

    // No look-up server answers here, so names come from the offline place table.
    void SetUp() override {
        Preferences::shared().setString(kNominatimURLKey, "http://127.0.0.1:1");
        Preferences::shared().setString(kOverpassURLKey, "http://127.0.0.1:1/api/interpreter");
    }

    Result run(std::vector<std::string> args) { return runOnStore(storeFile, std::move(args)); }

    RideRef addRide(std::optional<std::string> city, int points) {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->city = std::move(city);
        std::vector<RoutePoint> route;
        for (int i = 0; i < points; ++i) {
            RoutePoint p;
            p.coordinate = {47.37 + i * 0.001, 8.54};
            route.push_back(p);
        }
        ride->setRoutePoints(route);
        store->insert(ride);
        store->save();
        return ride;
    }

    std::optional<std::string> storedCity(const RideRef& ride) {
        return RideStore::open(storeFile)->fetchByRideID(ride->rideID)->city;
    }

    // The build makes the place table from the packages scripts/setup installs; a build
    // without it would silently stop checking the offline names.
    static void expectPlaces() {
        ASSERT_GT(PlaceTable::shared().size(), 0u) << "the offline place table was not built";
    }
};

TEST_F(ServicesCommandsTest, PhotoAddAttachesAndListsPhotos) {
    auto ride = addRide(std::nullopt, 0);
    auto photo = environment.root() / "zurich.jpg";
    auto text = environment.root() / "notes.txt";
    test::writeFileBytes(photo, locatedJPEG());
    test::writeFileBytes(text, bytesOf("not a picture"));

    auto added = run({"photo-add", ride->rideID.toString(), photo.string(), text.string()});
    EXPECT_EQ(added.status, 1);
    EXPECT_NE(added.out.find("Added 1 photo.\n"), std::string::npos);
    EXPECT_EQ(added.err, "Could not process one of the photos.\n");

    auto listed = run({"photos", ride->rideID.toString()});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out.rfind("0\t", 0), 0u);
    EXPECT_NE(listed.out.find("\t2024-05-01T09:30:15Z\t47.376900,8.541700\t"), std::string::npos);

    // The photo's position became the activity's one-point route, named offline.
    auto stored = RideStore::open(storeFile)->fetchByRideID(ride->rideID);
    EXPECT_EQ(stored->routePoints().size(), 1u);
    expectPlaces();
    EXPECT_EQ(stored->city, "Zürich");
}

TEST_F(ServicesCommandsTest, PhotoAddReportsUnreadableFilesAndBadArguments) {
    auto ride = addRide("Bern", 3);
    auto missing = run({"photo-add", ride->rideID.toString(), "/nonexistent/photo.jpg"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("/nonexistent/photo.jpg"), std::string::npos);
    EXPECT_EQ(run({"photo-add", ride->rideID.toString()}).status, 1);
    EXPECT_EQ(run({"photo-add", "not-an-id", "x.jpg"}).status, 1);
    EXPECT_EQ(run({"photos", ride->rideID.toString()}).out, "");
}

TEST_F(ServicesCommandsTest, GeocodeMissingAllAndOne) {
    auto located = addRide("Bern", 6);
    auto missing = run({"geocode", "--missing"});
    EXPECT_EQ(missing.status, 0);
    EXPECT_EQ(missing.out, "All activities already have locations.\n");

    auto unnamed = addRide(std::nullopt, 6);
    auto batch = run({"geocode", "--missing"});
    EXPECT_EQ(batch.status, 0);
    EXPECT_EQ(batch.out, "Done — geocoded 1 ride.\n");
    EXPECT_EQ(storedCity(located), "Bern");

    auto one = run({"geocode", located->rideID.toString()});
    EXPECT_EQ(one.status, 0);
    expectPlaces();
    EXPECT_EQ(storedCity(unnamed), "Zürich");
    EXPECT_EQ(one.out, "Location: Zürich\n");
}

TEST_F(ServicesCommandsTest, GeocodeNeedsExactlyOneScope) {
    auto ride = addRide(std::nullopt, 0);
    EXPECT_EQ(run({"geocode"}).status, 1);
    EXPECT_EQ(run({"geocode", "--missing", "--all"}).status, 1);
    EXPECT_EQ(run({"geocode", "--bogus"}).status, 1);
    auto routeless = run({"geocode", ride->rideID.toString()});
    EXPECT_EQ(routeless.status, 1);
    EXPECT_NE(routeless.err.find("no route"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::cli
