#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/Bytes.h"
#include "model/Date.h"
#include "model/Uuid.h"

namespace vantrel {

/// One photo attached to an activity. Stored by `RideStore` in the table "RidePhoto".
struct RidePhoto {
    /// The store's persistent identifier; 0 until the store has written the photo.
    std::int64_t objectID = 0;

    Uuid photoID = Uuid::random();
    std::optional<Bytes> imageData;
    std::optional<Bytes> thumbnailData;
    std::optional<std::string> caption;
    std::optional<Date> captureDate;
    std::optional<double> latitude;
    std::optional<double> longitude;
    std::int64_t sortOrder = 0;

    friend bool operator==(const RidePhoto&, const RidePhoto&) = default;
};

}  // namespace vantrel
