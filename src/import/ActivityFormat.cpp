#include "import/ActivityFormat.h"

#include <algorithm>
#include <array>

#include "import/FITParser.h"
#include "import/GPXParser.h"
#include "import/TCXParser.h"

namespace vantrel {

namespace {

template <typename Reader>
std::unique_ptr<ActivityReader> makeReader() {
    return std::make_unique<Reader>();
}

constexpr std::array kFormats = {
    ActivityFormat{"gpx", makeReader<GPXParser>},
    ActivityFormat{"tcx", makeReader<TCXParser>},
    ActivityFormat{"fit", makeReader<FITParser>},
};

}  // namespace

std::span<const ActivityFormat> activityFormats() {
    return kFormats;
}

const ActivityFormat* activityFormatFor(std::string_view extension) {
    auto found = std::find_if(kFormats.begin(), kFormats.end(), [extension](const auto& format) {
        return format.extension == extension;
    });
    return found == kFormats.end() ? nullptr : &*found;
}

}  // namespace vantrel
