#include "TestImages.h"

#include <vips/vips8>

#include "services/ImageSource.h"

namespace vantrel::test {

Bytes testJpeg(int width, int height, bool withPosition) {
    initializeImageLibrary();
    auto image = (vips::VImage::black(width, height, vips::VImage::option()->set("bands", 3)) + 90)
                     .cast(VIPS_FORMAT_UCHAR)
                     .copy();
    if (withPosition) {
        image.set("exif-ifd3-GPSLatitude", "47/1 22/1 3684/100");
        image.set("exif-ifd3-GPSLatitudeRef", "N");
        image.set("exif-ifd3-GPSLongitude", "8/1 32/1 3012/100");
        image.set("exif-ifd3-GPSLongitudeRef", "E");
    }
    VipsBlob* blob = image.jpegsave_buffer();
    std::size_t length = 0;
    auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &length));
    Bytes bytes(data, data + length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

}  // namespace vantrel::test
