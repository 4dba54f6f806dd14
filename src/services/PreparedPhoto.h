#pragma once

#include <optional>
#include <string>

#include "services/ProcessedPhoto.h"

namespace vantrel {

/// One picked item after loading and processing, before it is attached to an activity.
struct PreparedPhoto {
    /// Absent when the item yielded no bytes or could not be processed.
    std::optional<ProcessedPhoto> photo;
    /// Why there is no photo: the picker's failure text or the processing failure text.
    std::optional<std::string> error;
    /// Which item could not be processed and why, e.g. "IMG_1.jpg: not a photo format".
    std::optional<std::string> detail;
};

}  // namespace vantrel
