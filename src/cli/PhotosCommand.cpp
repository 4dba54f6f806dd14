#include <cstdio>
#include <ostream>

#include "cli/Commands.h"
#include "cli/RideArgument.h"

namespace vantrel::cli {

namespace {

std::string position(const RidePhoto& photo) {
    if (!photo.latitude || !photo.longitude) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%.6f,%.6f", *photo.latitude, *photo.longitude);
    return text;
}

}  // namespace

/// One line per photo in display order: sortOrder, photoID, capture date, position, size.
int runPhotos(CliContext& ctx) {
    ctx.rejectUnknownOptions();
    RideRef ride = fetchRideArgument(ctx, "photos");
    for (const auto& photo : ride->sortedPhotos()) {
        ctx.out << photo.sortOrder << '\t' << photo.photoID.toString() << '\t'
                << (photo.captureDate ? formatISO8601(*photo.captureDate) : "") << '\t'
                << position(photo) << '\t' << (photo.imageData ? photo.imageData->size() : 0)
                << " bytes\n";
    }
    return 0;
}

}  // namespace vantrel::cli
