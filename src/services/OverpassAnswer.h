#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/MapItem.h"

namespace vantrel {

/// Readers of the JSON answers of an Overpass server ("[out:json]"). Absent when the text is
/// not such an answer.
namespace OverpassAnswer {

/// The "name" tags of the elements, in answer order; elements without one are left out.
std::optional<std::vector<std::string>> parseNames(std::string_view json);
/// Elements with a position (a node's own, or the "center" of a way or relation).
std::optional<std::vector<MapItem>> parseItems(std::string_view json);

}  // namespace OverpassAnswer

}  // namespace vantrel
