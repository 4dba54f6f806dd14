#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/Geocoder.h"
#include "services/PlaceTable.h"

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

    /// A town offered while the user types: "Paris, Lamar County, United States".
    struct Suggestion {
        std::string label;
        CodableCoordinate coordinate;
    };
    /// Towns of the place table whose name begins with the text (see `PlaceTable::search`), for
    /// the field's completion list; none for fewer than `kMinSuggestionLetters` letters.
    static constexpr std::size_t kMinSuggestionLetters = 2;
    static std::vector<Suggestion> suggestions(const PlaceTable& places, std::string_view text,
                                               std::size_t limit = 8);
};

}  // namespace vantrel
