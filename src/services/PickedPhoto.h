#pragma once

#include <functional>
#include <optional>
#include <string>

#include "model/Bytes.h"

namespace vantrel {

/// One item of the user's photo selection, whose bytes are delivered on request.
struct PickedPhoto {
    /// What the user would recognise the item by (a file name); used only in messages.
    std::string label;
    /// Returns the item's bytes, or nothing when the item yields none. A failure is thrown as a
    /// `std::exception` whose `what()` is the text shown to the user.
    std::function<std::optional<Bytes>()> load;
};

}  // namespace vantrel
