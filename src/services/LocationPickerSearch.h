#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "services/Geocoder.h"

namespace vantrel {

/// What submitting the location picker's search field leads to.
struct LocationPickerSearch {
    /// Nothing to do: the text was empty after trimming.
    bool ignored = false;
    /// Where to move the map.
    std::optional<CodableCoordinate> coordinate;
    /// The message shown under the field.
    std::optional<std::string> searchError;

    /// Trims white space and line ends, then forward-geocodes the text and takes the first
    /// place with a position.
    static LocationPickerSearch submit(Geocoder& geocoder, std::string_view text);
};

}  // namespace vantrel
