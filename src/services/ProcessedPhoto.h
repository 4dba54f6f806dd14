#pragma once

#include <optional>

#include "model/Bytes.h"
#include "model/Date.h"
#include "model/Samples.h"

namespace vantrel {

/// One picked photo turned into its stored form.
struct ProcessedPhoto {
    Bytes imageData;      ///< JPEG, longer side at most 2048 px
    Bytes thumbnailData;  ///< JPEG, longer side at most 256 px
    std::optional<Date> captureDate;
    std::optional<CodableCoordinate> coordinate;
};

}  // namespace vantrel
