#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "services/Placemark.h"

namespace vantrel {

/// Readers of the JSON answers of a Nominatim server ("format=jsonv2"). Absent when the text
/// is not such an answer; an error object ("Unable to geocode") reads as an empty list.
namespace NominatimAnswer {

std::optional<std::vector<Placemark>> parseReverse(std::string_view json);
std::optional<std::vector<Placemark>> parseSearch(std::string_view json);

}  // namespace NominatimAnswer

}  // namespace vantrel
