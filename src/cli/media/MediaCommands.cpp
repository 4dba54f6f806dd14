#include "cli/Commands.h"

namespace vantrel::cli {

int runMediaCommand(const std::string& name, CliContext& ctx) {
    if (name == "geocode") return runGeocode(ctx);
    if (name == "photo-add") return runPhotoAdd(ctx);
    if (name == "weather") return runWeather(ctx);
    throw UsageError("unknown command " + name);
}

}  // namespace vantrel::cli
