#include "services/PhotoImportService.h"

#include <cmath>
#include <ctime>
#include <exception>
#include <vips/vips8>

namespace vantrel::PhotoImportService {

namespace {

// Loaders that may hand the thumbnailer an embedded preview instead of the full image.
bool mayUseEmbeddedPreview(const ImageSource& source) {
    return source.loader().rfind("VipsForeignLoadHeif", 0) == 0;
}

vips::VImage scaledUpright(const ImageSource& source, int maxPixelSize) {
    auto* blob = vips_blob_new(nullptr, source.bytes().data(), source.bytes().size());
    auto release = [](VipsBlob* b) { vips_area_unref(VIPS_AREA(b)); };
    std::unique_ptr<VipsBlob, decltype(release)> guard(blob, release);
    auto options = [&] {
        return vips::VImage::option()
            ->set("height", maxPixelSize)
            ->set("size", VIPS_SIZE_DOWN)
            // The thumbnailer passes a truncation check to the loader only in this form.
            ->set("option_string", "fail_on=truncated");
    };
    if (!mayUseEmbeddedPreview(source)) {
        return vips::VImage::thumbnail_buffer(blob, maxPixelSize, options());
    }
    auto full = vips::VImage::new_from_buffer(
        source.bytes().data(), source.bytes().size(), "",
        vips::VImage::option()->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
    return full.thumbnail_image(
        maxPixelSize,
        vips::VImage::option()->set("height", maxPixelSize)->set("size", VIPS_SIZE_DOWN));
}

Bytes encodeJPEG(vips::VImage image) {
    // Transparent pixels become white rather than the encoder's default black.
    if (image.has_alpha()) {
        image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{255}));
    }
    VipsBlob* blob =
        image.jpegsave_buffer(vips::VImage::option()->set("Q", kJPEGQuality)->set("strip", true));
    std::size_t length = 0;
    auto* data = static_cast<const std::uint8_t*>(vips_blob_get(blob, &length));
    Bytes bytes(data, data + length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Reads `count` digits at `pos`; -1 when any is not a digit.
int digitsAt(std::string_view text, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool hasSeparators(std::string_view text) {
    return text.size() == 19 && text[4] == ':' && text[7] == ':' && text[10] == ' ' &&
           text[13] == ':' && text[16] == ':';
}

bool isValidCoordinate(double latitude, double longitude) {
    return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90 &&
           std::fabs(longitude) <= 180;
}

std::optional<Bytes> loadItem(const PickedPhoto& item, PhotoAddResult& result) {
    try {
        return item.load ? item.load() : std::nullopt;
    } catch (const std::exception& error) {
        result.importError = error.what();
        return std::nullopt;
    }
}

std::string labelled(const std::string& label, std::string_view reason) {
    return label.empty() ? std::string(reason) : label + ": " + std::string(reason);
}

std::int64_t nextSortOrder(const PersistedRide& ride) {
    auto photos = ride.sortedPhotos();
    return photos.empty() ? 0 : photos.back().sortOrder + 1;
}

RidePhoto makeRidePhoto(ProcessedPhoto processed, std::int64_t sortOrder) {
    RidePhoto photo;
    photo.imageData = std::move(processed.imageData);
    photo.thumbnailData = std::move(processed.thumbnailData);
    photo.captureDate = processed.captureDate;
    if (processed.coordinate) {
        photo.latitude = processed.coordinate->latitude;
        photo.longitude = processed.coordinate->longitude;
    }
    photo.sortOrder = sortOrder;
    return photo;
}

}  // namespace

std::optional<Date> parseExifDate(std::string_view text) {
    if (!hasSeparators(text)) return std::nullopt;
    int year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
    int hour = digitsAt(text, 11, 2), minute = digitsAt(text, 14, 2);
    int second = digitsAt(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return dateFromUnix(static_cast<double>(timegm(&fields)));
}

std::optional<Date> readCaptureDate(const ImageProperties& properties) {
    if (properties.exifDateTimeOriginal) {
        if (auto date = parseExifDate(*properties.exifDateTimeOriginal)) return date;
    }
    if (properties.tiffDateTime) return parseExifDate(*properties.tiffDateTime);
    return std::nullopt;
}

std::optional<CodableCoordinate> readCoordinate(const ImageProperties& properties) {
    if (!properties.gpsLatitude || !properties.gpsLongitude || !properties.gpsLatitudeRef ||
        !properties.gpsLongitudeRef) {
        return std::nullopt;
    }
    double latitude = *properties.gpsLatitude;
    double longitude = *properties.gpsLongitude;
    if (*properties.gpsLatitudeRef == "S") latitude = -latitude;
    if (*properties.gpsLongitudeRef == "W") longitude = -longitude;
    if (!isValidCoordinate(latitude, longitude)) return std::nullopt;
    return CodableCoordinate{latitude, longitude};
}

std::optional<Bytes> makeJPEG(const ImageSource& source, int maxPixelSize) {
    try {
        return encodeJPEG(scaledUpright(source, maxPixelSize));
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<ProcessedPhoto> processPhoto(Bytes imageBytes, ImageRefusal* refusal) {
    auto source = ImageSource::open(std::move(imageBytes), refusal);
    if (!source) return std::nullopt;
    ProcessedPhoto photo;
    photo.captureDate = readCaptureDate(source->properties());
    photo.coordinate = readCoordinate(source->properties());
    auto image = makeJPEG(*source, kFullImageMaxPixelSize);
    auto thumbnail = image ? makeJPEG(*source, kThumbnailMaxPixelSize) : std::nullopt;
    if (!thumbnail) {
        if (refusal != nullptr) *refusal = ImageRefusal::damaged;
        return std::nullopt;
    }
    photo.imageData = std::move(*image);
    photo.thumbnailData = std::move(*thumbnail);
    return photo;
}

std::vector<PreparedPhoto> preparePickedPhotos(const std::vector<PickedPhoto>& items,
                                               std::size_t limit) {
    std::vector<PreparedPhoto> prepared;
    for (std::size_t i = 0; i < items.size() && i < limit; ++i) {
        PreparedPhoto item;
        PhotoAddResult loadResult;
        auto bytes = loadItem(items[i], loadResult);
        item.error = loadResult.importError;
        if (bytes) {
            ImageRefusal refusal = ImageRefusal::damaged;
            item.photo = processPhoto(std::move(*bytes), &refusal);
            if (!item.photo) {
                item.error = std::string(kCouldNotProcessText);
                item.detail = labelled(items[i].label, refusalText(refusal));
            }
        }
        prepared.push_back(std::move(item));
    }
    return prepared;
}

std::size_t remainingPhotoSlots(const PersistedRide& ride) {
    auto limit = static_cast<std::size_t>(kMaxPhotosPerActivity);
    return ride.photos.size() >= limit ? 0 : limit - ride.photos.size();
}

PhotoAddResult attachPreparedPhotos(RideStore& store, PersistedRide& ride,
                                    std::vector<PreparedPhoto> prepared,
                                    const LocationSuggestion& onLocationSuggested) {
    PhotoAddResult result;
    auto next = nextSortOrder(ride);
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        if (remainingPhotoSlots(ride) == 0) {
            result.ignoredOverLimit = static_cast<int>(prepared.size() - i);
            break;
        }
        if (prepared[i].error) {
            result.importError = prepared[i].error;
            result.importErrorDetail = prepared[i].detail;
        }
        if (!prepared[i].photo) continue;
        auto coordinate = prepared[i].photo->coordinate;
        ride.photos.push_back(makeRidePhoto(std::move(*prepared[i].photo), next++));
        ++result.added;
        if (!result.suggestedLocation && coordinate && !ride.routeData) {
            result.suggestedLocation = coordinate;
        }
    }
    store.autosave();
    if (result.suggestedLocation && onLocationSuggested) {
        onLocationSuggested(result.suggestedLocation->latitude,
                            result.suggestedLocation->longitude);
    }
    return result;
}

PhotoAddResult addPickedPhotos(RideStore& store, PersistedRide& ride,
                               const std::vector<PickedPhoto>& items,
                               const LocationSuggestion& onLocationSuggested) {
    std::size_t freeSlots = remainingPhotoSlots(ride);
    PhotoAddResult result = attachPreparedPhotos(store, ride, preparePickedPhotos(items, freeSlots),
                                                 onLocationSuggested);
    if (items.size() > freeSlots) {
        result.ignoredOverLimit += static_cast<int>(items.size() - freeSlots);
    }
    return result;
}

}  // namespace vantrel::PhotoImportService
