#pragma once

#include <simdjson.h>

namespace vantrel {

/// True when text follows the value just consumed: strict readers refuse such documents.
inline bool documentHasMore(simdjson::ondemand::document& document) {
    return !document.current_location().error();
}

}  // namespace vantrel
