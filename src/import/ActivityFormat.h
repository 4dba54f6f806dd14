#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "import/ActivityReader.h"

namespace vantrel {

/// One activity file format the import reads.
struct ActivityFormat {
    /// The file name extension that selects it: lower case, without the dot.
    std::string_view extension;
    /// A fresh reader for one file.
    std::unique_ptr<ActivityReader> (*makeReader)();
};

/// Every format the import reads.
std::span<const ActivityFormat> activityFormats();

/// The format whose extension is `extension` (lower case, without the dot), or null.
const ActivityFormat* activityFormatFor(std::string_view extension);

}  // namespace vantrel
