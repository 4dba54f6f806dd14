#pragma once

#include <optional>
#include <string>

#include "model/Samples.h"

namespace vantrel {

/// One named point found by a place search.
struct MapItem {
    std::optional<std::string> name;
    CodableCoordinate coordinate;
};

}  // namespace vantrel
