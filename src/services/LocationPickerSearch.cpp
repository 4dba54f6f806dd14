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

std::vector<LocationPickerSearch::Suggestion> LocationPickerSearch::suggestions(
    const PlaceTable& places, std::string_view text, std::size_t limit) {
    std::vector<Suggestion> found;
    if (PlaceTable::searchKey(trimmed(text)).size() < kMinSuggestionLetters) return found;
    for (const auto& place : places.search(trimmed(text), limit)) {
        std::string label = place.name;
        // A town that is its own county ("Paris, Paris") names it once.
        if (!place.county.empty() && place.county != place.name) label += ", " + place.county;
        if (!place.country.empty()) label += ", " + place.country;
        found.push_back({std::move(label), place.coordinate});
    }
    return found;
}

}  // namespace vantrel
