#pragma once

#include <optional>
#include <string>

#include "model/Samples.h"

namespace vantrel {

/// One answer of a reverse or forward look-up.
struct Placemark {
    std::optional<std::string> locality;               ///< town, city or village
    std::optional<std::string> subAdministrativeArea;  ///< county-level name
    std::optional<std::string> country;
    std::optional<CodableCoordinate> location;
};

}  // namespace vantrel
