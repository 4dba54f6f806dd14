#include "services/ImageSource.h"

#include <array>
#include <mutex>
#include <vips/vips8>

#include "services/ExifFieldText.h"

namespace vantrel {

namespace {

std::optional<ExifFieldText> exifField(const vips::VImage& image, const char* name) {
    auto type = image.get_typeof(name);
    if (type != VIPS_TYPE_REF_STRING && type != G_TYPE_STRING) return std::nullopt;
    return ExifFieldText::parse(image.get_string(name));
}

std::optional<std::string> asciiField(const vips::VImage& image, const char* name) {
    auto field = exifField(image, name);
    return field ? field->ascii() : std::nullopt;
}

std::optional<double> degreesField(const vips::VImage& image, const char* name) {
    auto field = exifField(image, name);
    return field ? field->degrees() : std::nullopt;
}

ImageProperties readProperties(const vips::VImage& image) {
    ImageProperties properties;
    properties.exifDateTimeOriginal = asciiField(image, "exif-ifd2-DateTimeOriginal");
    properties.tiffDateTime = asciiField(image, "exif-ifd0-DateTime");
    properties.gpsLatitude = degreesField(image, "exif-ifd3-GPSLatitude");
    properties.gpsLatitudeRef = asciiField(image, "exif-ifd3-GPSLatitudeRef");
    properties.gpsLongitude = degreesField(image, "exif-ifd3-GPSLongitude");
    properties.gpsLongitudeRef = asciiField(image, "exif-ifd3-GPSLongitudeRef");
    return properties;
}

// The formats a photo comes in, as the loaders that read them are named. The image library
// has loaders for many more (documents, drawings, ImageMagick's dozens of formats); they are
// larger surfaces than a photo needs, so the bytes are turned away before any of them runs.
bool isPhotoLoader(std::string_view loader) {
    static constexpr std::array<std::string_view, 5> photoLoaders = {
        "VipsForeignLoadJpeg", "VipsForeignLoadPng", "VipsForeignLoadHeif", "VipsForeignLoadWebp",
        "VipsForeignLoadTiff"};
    for (std::string_view prefix : photoLoaders) {
        if (loader.substr(0, prefix.size()) == prefix) return true;
    }
    return false;
}

std::optional<ImageSource> refuse(ImageRefusal why, ImageRefusal* refusal) {
    if (refusal != nullptr) *refusal = why;
    return std::nullopt;
}

}  // namespace

std::string_view refusalText(ImageRefusal refusal) {
    switch (refusal) {
        case ImageRefusal::notAPhotoFormat:
            return "not a photo format";
        case ImageRefusal::tooLarge:
            return "larger than 100 megapixels";
        case ImageRefusal::damaged:
            return "damaged or incomplete";
    }
    return "damaged or incomplete";
}

void initializeImageLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        vips_init("vantrel");
        vips_block_untrusted_set(TRUE);
        // Each photo is processed once; caching operations would only hold decoded pixels.
        vips_cache_set_max(0);
        // A damaged photo is reported to the user as one clear message, not as decoder chatter.
        g_log_set_handler(
            "VIPS", G_LOG_LEVEL_WARNING,
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

std::optional<ImageSource> ImageSource::open(Bytes bytes, ImageRefusal* refusal) {
    initializeImageLibrary();
    if (bytes.empty()) return refuse(ImageRefusal::notAPhotoFormat, refusal);
    const char* loader = vips_foreign_find_load_buffer(bytes.data(), bytes.size());
    if (loader == nullptr) vips_error_clear();
    if (loader == nullptr || !isPhotoLoader(loader))
        return refuse(ImageRefusal::notAPhotoFormat, refusal);
    ImageSource source;
    source.m_loader = loader;
    source.m_bytes = std::make_shared<const Bytes>(std::move(bytes));
    try {
        // Only the header is read here; pixels stay encoded.
        auto image = vips::VImage::new_from_buffer(
            source.m_bytes->data(), source.m_bytes->size(), "",
            vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        source.m_width = image.width();
        source.m_height = image.height();
        source.m_properties = readProperties(image);
    } catch (const vips::VError&) {
        vips_error_clear();
        return refuse(ImageRefusal::damaged, refusal);
    }
    auto pixels = static_cast<long long>(source.m_width) * source.m_height;
    if (source.m_width <= 0 || source.m_height <= 0) return refuse(ImageRefusal::damaged, refusal);
    if (pixels > kMaxPixels) return refuse(ImageRefusal::tooLarge, refusal);
    return source;
}

}  // namespace vantrel
