#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "model/Bytes.h"
#include "model/Date.h"
#include "model/PersistedRide.h"
#include "model/RideStore.h"
#include "services/ImageProperties.h"
#include "services/ImageSource.h"
#include "services/PhotoAddResult.h"
#include "services/PickedPhoto.h"
#include "services/PreparedPhoto.h"
#include "services/ProcessedPhoto.h"

/// Turns picked photos into the stored form and attaches them to activities.
namespace vantrel::PhotoImportService {

inline constexpr int kFullImageMaxPixelSize = 2048;
inline constexpr int kThumbnailMaxPixelSize = 256;
/// The encoder's 0–100 scale; 0.85 on a 0–1 scale.
inline constexpr int kJPEGQuality = 85;
inline constexpr int kMaxPhotosPerActivity = 20;
inline constexpr std::string_view kCouldNotProcessText = "Could not process one of the photos.";

/// The stored form of one photo; absent when the bytes are in no photo format, the picture is
/// too large to decode safely, or a JPEG cannot be made, and `refusal`, when given, then says
/// which. Touches no store.
std::optional<ProcessedPhoto> processPhoto(Bytes imageBytes, ImageRefusal* refusal = nullptr);

/// EXIF DateTimeOriginal, else TIFF DateTime, read as UTC wall-clock time; absent otherwise.
std::optional<Date> readCaptureDate(const ImageProperties& properties);
/// The GPS position with its references applied; absent when any of the four values is missing
/// or the pair is out of range.
std::optional<CodableCoordinate> readCoordinate(const ImageProperties& properties);
/// "yyyy:MM:dd HH:mm:ss" as UTC; absent for any other text.
std::optional<Date> parseExifDate(std::string_view text);

/// The first frame decoded from the full image, turned upright, scaled so that its longer side
/// is at most `maxPixelSize` (never enlarged) and encoded as JPEG without any metadata. Absent
/// when the pixels cannot be decoded (e.g. a truncated file).
std::optional<Bytes> makeJPEG(const ImageSource& source, int maxPixelSize);

/// Called with latitude and longitude when a photo suggests where an activity took place.
using LocationSuggestion = std::function<void(double latitude, double longitude)>;

/// Adds the picked photos to `ride` in selection order, numbered after its last photo, until it
/// holds 20. A photo that cannot be processed is skipped with `kCouldNotProcessText` (its
/// label and the reason, e.g. "IMG_1.jpg: not a photo format", in the detail); a picker
/// failure is reported with its own text; neither stops the run. Saves the store once at the
/// end (a failed save is ignored; the photos stay pending). Without route data, the first
/// photo position is offered to `onLocationSuggested` after the save. `ride` must have been
/// fetched with its details.
PhotoAddResult addPickedPhotos(RideStore& store, PersistedRide& ride,
                               const std::vector<PickedPhoto>& items,
                               const LocationSuggestion& onLocationSuggested = {});

/// The first half of `addPickedPhotos`, which touches no store and may run on any thread: loads
/// and processes the first `limit` items in order. The slow part of adding photos.
std::vector<PreparedPhoto> preparePickedPhotos(const std::vector<PickedPhoto>& items,
                                               std::size_t limit);
/// How many more photos the activity can take.
std::size_t remainingPhotoSlots(const PersistedRide& ride);
/// The second half of `addPickedPhotos`, on the store's thread: attaches the prepared photos in
/// order until the activity holds 20, reports the last error among them, saves once and offers
/// the first position when the activity has no route data.
PhotoAddResult attachPreparedPhotos(RideStore& store, PersistedRide& ride,
                                    std::vector<PreparedPhoto> prepared,
                                    const LocationSuggestion& onLocationSuggested = {});

}  // namespace vantrel::PhotoImportService
