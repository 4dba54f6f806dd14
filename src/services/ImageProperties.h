#pragma once

#include <optional>
#include <string>

namespace vantrel {

/// The metadata of an image that photo processing reads. A field is absent when the image
/// lacks it or stores it with another type than the one named here.
struct ImageProperties {
    std::optional<std::string> exifDateTimeOriginal;
    std::optional<std::string> tiffDateTime;
    std::optional<double> gpsLatitude;  ///< degrees, unsigned as stored
    std::optional<std::string> gpsLatitudeRef;
    std::optional<double> gpsLongitude;  ///< degrees, unsigned as stored
    std::optional<std::string> gpsLongitudeRef;
};

}  // namespace vantrel
