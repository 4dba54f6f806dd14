#include "services/LocationPickerSearch.h"

namespace vantrel {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\n\r\v\f";
    auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace

LocationPickerSearch LocationPickerSearch::submit(Geocoder& geocoder, std::string_view text) {
    LocationPickerSearch result;
    auto query = trimmed(text);
    if (query.empty()) {
        result.ignored = true;
        return result;
    }
    auto places = geocoder.geocodeAddress(query);
    if (!places) {
        result.searchError = "The place search did not answer. Check the network connection.";
        return result;
    }
    if (!places->empty() && places->front().location) {
        result.coordinate = places->front().location;
    } else {
        result.searchError = "No matches for \"" + std::string(query) + "\".";
    }
    return result;
}

}  // namespace vantrel
