#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>
#include <vips/vips8>

#include "model/RideStore.h"
#include "services/ExifFieldText.h"
#include "services/PhotoImportService.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using namespace PhotoImportService;

Bytes blobBytes(VipsBlob* blob) {
    std::size_t length = 0;
    auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &length));
    Bytes bytes(data, data + length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

// A plain three-band picture whose top-left quarter is bright, so that turns can be seen.
vips::VImage picture(int width, int height) {
    initializeImageLibrary();
    auto black = vips::VImage::black(width, height, vips::VImage::option()->set("bands", 3));
    auto bright =
        vips::VImage::black(width / 2, height / 2, vips::VImage::option()->set("bands", 3)) + 255;
    return black.insert(bright, 0, 0).cast(VIPS_FORMAT_UCHAR).copy();
}

Bytes jpeg(const vips::VImage& image) {
    return blobBytes(image.jpegsave_buffer());
}

struct Decoded {
    int width, height;
    bool hasExif, hasOrientation;
    double topLeft;  // mean of the top-left corner
};

Decoded decode(const Bytes& bytes) {
    auto image = vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "");
    auto corner = image.extract_area(0, 0, image.width() / 4, image.height() / 4);
    return {image.width(), image.height(), image.get_typeof("exif-data") != 0,
            image.get_typeof("orientation") != 0, corner.avg()};
}

vips::VImage withMetadata(vips::VImage image) {
    image.set("exif-ifd2-DateTimeOriginal", "2024:05:01 09:30:15");
    image.set("exif-ifd3-GPSLatitude", "47/1 22/1 3684/100");
    image.set("exif-ifd3-GPSLatitudeRef", "N");
    image.set("exif-ifd3-GPSLongitude", "8/1 32/1 3012/100");
    image.set("exif-ifd3-GPSLongitudeRef", "E");
    return image;
}

// A PNG that declares a 20000 × 20000 canvas: the header of a decompression bomb.
Bytes hugePNGHeader() {
    auto bytes = blobBytes(picture(8, 8).pngsave_buffer());
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    };
    put32(16, 20000);  // IHDR width
    put32(20, 20000);  // IHDR height
    put32(29, static_cast<std::uint32_t>(crc32(0, bytes.data() + 12, 17)));
    return bytes;
}

TEST(PhotoProcessingTest, ScalesToBothSizesAndKeepsSmallPictures) {
    auto large = processPhoto(jpeg(picture(4032, 3024)));
    ASSERT_TRUE(large);
    auto full = decode(large->imageData), thumb = decode(large->thumbnailData);
    EXPECT_EQ(full.width, 2048);
    EXPECT_EQ(full.height, 1536);
    EXPECT_EQ(thumb.width, 256);
    EXPECT_EQ(thumb.height, 192);

    auto small = processPhoto(jpeg(picture(200, 100)));
    ASSERT_TRUE(small);
    EXPECT_EQ(decode(small->imageData).width, 200);
    EXPECT_EQ(decode(small->thumbnailData).height, 100);
}

TEST(PhotoProcessingTest, TurnsUprightAndCopiesNoMetadata) {
    auto image = withMetadata(picture(400, 200));
    image.set("orientation", 6);  // stored landscape, taken portrait
    auto photo = processPhoto(jpeg(image));
    ASSERT_TRUE(photo);
    for (const auto& bytes : {photo->imageData, photo->thumbnailData}) {
        auto decoded = decode(bytes);
        EXPECT_GT(decoded.height, decoded.width);
        EXPECT_FALSE(decoded.hasExif);
        EXPECT_FALSE(decoded.hasOrientation);
    }
    // Turning 90° clockwise moves the bright top-left quarter to the top right.
    EXPECT_LT(decode(photo->imageData).topLeft, 20);
    ASSERT_TRUE(photo->captureDate);
    EXPECT_EQ(formatISO8601(*photo->captureDate), "2024-05-01T09:30:15Z");
    ASSERT_TRUE(photo->coordinate);
    EXPECT_NEAR(photo->coordinate->latitude, 47.3769, 1e-4);
    EXPECT_NEAR(photo->coordinate->longitude, 8.5417, 1e-4);
}

TEST(PhotoProcessingTest, DecodesOtherFormats) {
    auto image = picture(300, 150);
    EXPECT_TRUE(processPhoto(blobBytes(image.pngsave_buffer())));
    EXPECT_TRUE(processPhoto(blobBytes(image.tiffsave_buffer())));
    EXPECT_TRUE(processPhoto(blobBytes(image.webpsave_buffer())));
    auto heic = processPhoto(blobBytes(picture(640, 320).heifsave_buffer()));
    ASSERT_TRUE(heic);
    EXPECT_EQ(decode(heic->thumbnailData).width, 256);
    auto transparent = image.bandjoin(vips::VImage::black(300, 150) + 0);
    auto photo = processPhoto(blobBytes(transparent.cast(VIPS_FORMAT_UCHAR).pngsave_buffer()));
    ASSERT_TRUE(photo);
    EXPECT_GT(decode(photo->imageData).topLeft, 200);  // transparency shows white
}

TEST(PhotoProcessingTest, RefusesWhatCannotBeDecodedSafely) {
    auto whole = jpeg(picture(800, 600));
    Bytes truncated(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
    EXPECT_FALSE(processPhoto(truncated));
    EXPECT_FALSE(processPhoto(bytesOf("this is a text file, not a picture")));
    EXPECT_FALSE(processPhoto(Bytes{}));
    EXPECT_FALSE(processPhoto(hugePNGHeader()));
    EXPECT_FALSE(ImageSource::open(hugePNGHeader()));
}

// Pictures in formats no photo comes in, each decodable by some loader of the image library.
const std::vector<std::pair<const char*, Bytes>>& otherFormats() {
    static const std::vector<std::pair<const char*, Bytes>> formats = {
        {"svg", bytesOf("<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" "
                        "width=\"20\" height=\"20\"><rect width=\"20\" height=\"20\"/></svg>")},
        {"pdf", bytesOf("%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
                        "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
                        "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 20 20]>>endobj\n"
                        "trailer<</Root 1 0 R>>\n%%EOF\n")},
        {"miff", bytesOf(std::string("id=ImageMagick  version=1.0\nclass=DirectClass  colors=0\n"
                                     "columns=2  rows=2  depth=8\ncolorspace=sRGB\n"
                                     "compression=None\n\f\n:\x1a") +
                         std::string(12, '\x7f'))},
        {"gif", blobBytes(picture(8, 8).gifsave_buffer())},
    };
    return formats;
}

TEST(PhotoProcessingTest, OnlyPhotoFormatsAreDecodedWhateverTheFileIsCalled) {
    for (const auto& [format, bytes] : otherFormats()) {
        ImageRefusal refusal = ImageRefusal::damaged;
        EXPECT_FALSE(ImageSource::open(bytes, &refusal)) << format;
        EXPECT_EQ(refusal, ImageRefusal::notAPhotoFormat) << format;
        EXPECT_FALSE(processPhoto(bytes)) << format;
    }
    ImageRefusal refusal = ImageRefusal::damaged;
    EXPECT_FALSE(ImageSource::open(hugePNGHeader(), &refusal));
    EXPECT_EQ(refusal, ImageRefusal::tooLarge);
    auto whole = jpeg(picture(800, 600));
    refusal = ImageRefusal::notAPhotoFormat;
    EXPECT_FALSE(processPhoto(Bytes(whole.begin(), whole.begin() + 400), &refusal));
    EXPECT_EQ(refusal, ImageRefusal::damaged);
}

TEST(PhotoMetadataTest, CaptureDatePrefersExifThenTiffAsUTC) {
    ImageProperties properties;
    properties.exifDateTimeOriginal = "2024:05:01 09:30:15";
    properties.tiffDateTime = "2020:01:01 00:00:00";
    EXPECT_EQ(formatISO8601(*readCaptureDate(properties)), "2024-05-01T09:30:15Z");
    properties.exifDateTimeOriginal = "2024:02:30 09:30:15";  // no such day
    EXPECT_EQ(formatISO8601(*readCaptureDate(properties)), "2020-01-01T00:00:00Z");
    properties.exifDateTimeOriginal.reset();
    properties.tiffDateTime = "2024-05-01 09:30:15";
    EXPECT_FALSE(readCaptureDate(properties));
    EXPECT_FALSE(readCaptureDate({}));
    EXPECT_FALSE(parseExifDate("2024:05:01 09:30:15 "));
    EXPECT_FALSE(parseExifDate("0000:00:00 00:00:00"));
    EXPECT_TRUE(parseExifDate("2024:02:29 23:59:59"));
}

TEST(PhotoMetadataTest, CoordinateAppliesReferencesAndRange) {
    ImageProperties p;
    p.gpsLatitude = 47.3769;
    p.gpsLatitudeRef = "N";
    p.gpsLongitude = 8.5417;
    p.gpsLongitudeRef = "E";
    EXPECT_EQ(readCoordinate(p), (CodableCoordinate{47.3769, 8.5417}));
    p.gpsLatitudeRef = "S";
    p.gpsLongitudeRef = "W";
    EXPECT_EQ(readCoordinate(p), (CodableCoordinate{-47.3769, -8.5417}));
    p.gpsLatitudeRef = "s";  // only the exact upper-case reference turns the sign
    EXPECT_EQ(readCoordinate(p)->latitude, 47.3769);
    p.gpsLongitudeRef.reset();
    EXPECT_FALSE(readCoordinate(p));
    p.gpsLongitudeRef = "E";
    p.gpsLatitude = 95;
    EXPECT_FALSE(readCoordinate(p));
}

TEST(PhotoMetadataTest, FieldTextsOfTheImageLibrary) {
    auto latitude =
        ExifFieldText::parse("8/1 32/1 3012/100 ( 8, 32, 30.12, Rational, 3 components, 24 bytes)");
    ASSERT_TRUE(latitude);
    EXPECT_NEAR(*latitude->degrees(), 8.5417, 1e-4);
    EXPECT_FALSE(latitude->ascii());
    auto text = ExifFieldText::parse("N (N, ASCII, 2 components, 2 bytes)");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->ascii(), "N");
    EXPECT_FALSE(text->degrees());
    EXPECT_FALSE(ExifFieldText::parse("1/0 (inf, Rational, 1 components, 8 bytes)")->degrees());
    EXPECT_FALSE(ExifFieldText::parse("47.5"));
    EXPECT_FALSE(ExifFieldText::parse(""));
}

class PhotoAddingTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    test::TempDir dir;
    std::unique_ptr<RideStore> store = RideStore::open(dir / "store.sqlite");
    RideRef ride = std::make_shared<PersistedRide>();

    void SetUp() override {
        store->insert(ride);
        store->save();
    }

    static PickedPhoto item(const Bytes& bytes) {
        return {"photo.jpg", [bytes] { return std::optional<Bytes>(bytes); }};
    }

    void givePhotos(const std::vector<std::int64_t>& sortOrders) {
        for (auto order : sortOrders) {
            RidePhoto photo;
            photo.imageData = bytesOf("x");
            photo.sortOrder = order;
            ride->photos.push_back(photo);
        }
        store->save();
    }

    std::vector<RidePhoto> storedPhotos() {
        auto reopened = RideStore::open(store->path());
        return reopened->fetchByRideID(ride->rideID)->sortedPhotos();
    }
};

TEST_F(PhotoAddingTest, NumbersAfterTheLastPhotoAndSavesOnce) {
    givePhotos({0, 1, 4});
    auto picture1 = jpeg(withMetadata(picture(64, 48)));
    auto result = addPickedPhotos(*store, *ride, {item(picture1), item(jpeg(picture(32, 32)))});
    EXPECT_EQ(result.added, 2);
    EXPECT_FALSE(result.importError);
    auto photos = storedPhotos();
    ASSERT_EQ(photos.size(), 5u);
    EXPECT_EQ(photos[3].sortOrder, 5);
    EXPECT_EQ(photos[4].sortOrder, 6);
    EXPECT_EQ(photos[3].latitude.has_value(), true);
    EXPECT_FALSE(photos[4].latitude);
    EXPECT_FALSE(photos[4].captureDate);
    EXPECT_FALSE(photos[3].caption);
}

TEST_F(PhotoAddingTest, StopsAtTwentyPhotos) {
    givePhotos(std::vector<std::int64_t>(18, 0));
    auto bytes = jpeg(picture(16, 16));
    auto result = addPickedPhotos(*store, *ride, std::vector<PickedPhoto>(5, item(bytes)));
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(result.ignoredOverLimit, 3);
    EXPECT_EQ(storedPhotos().size(), 20u);
}

TEST_F(PhotoAddingTest, SuggestsTheFirstPositionOnlyWithoutARoute) {
    auto located = jpeg(withMetadata(picture(16, 16)));
    std::vector<CodableCoordinate> suggested;
    auto remember = [&](double lat, double lon) { suggested.push_back({lat, lon}); };
    addPickedPhotos(*store, *ride, {item(located), item(located), item(located)}, remember);
    ASSERT_EQ(suggested.size(), 1u);
    EXPECT_NEAR(suggested[0].latitude, 47.3769, 1e-4);

    RoutePoint point;
    ride->setRoutePoints({point});
    suggested.clear();
    auto result = addPickedPhotos(*store, *ride, {item(located)}, remember);
    EXPECT_TRUE(suggested.empty());
    EXPECT_FALSE(result.suggestedLocation);
}

TEST_F(PhotoAddingTest, SkipsBadItemsAndKeepsTheOthers) {
    auto good = jpeg(picture(16, 16));
    PickedPhoto failing{"gone.jpg", []() -> std::optional<Bytes> {
                            throw std::runtime_error("The file “gone.jpg” couldn’t be opened.");
                        }};
    PickedPhoto empty{"empty", [] { return std::optional<Bytes>(); }};
    auto result = addPickedPhotos(*store, *ride, {item(bytesOf("not an image")), item(good)});
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.importError, "Could not process one of the photos.");
    EXPECT_EQ(result.importErrorDetail, "photo.jpg: not a photo format");

    result =
        addPickedPhotos(*store, *ride, {item(otherFormats()[0].second), item(hugePNGHeader())});
    EXPECT_EQ(result.importError, "Could not process one of the photos.");
    EXPECT_EQ(result.importErrorDetail, "photo.jpg: larger than 100 megapixels");

    result = addPickedPhotos(*store, *ride, {item(hugePNGHeader()), failing, empty});
    EXPECT_EQ(result.added, 0);
    EXPECT_EQ(result.importError, "The file “gone.jpg” couldn’t be opened.");
    EXPECT_FALSE(result.importErrorDetail);
    EXPECT_EQ(storedPhotos().size(), 1u);
}

}  // namespace
}  // namespace vantrel
