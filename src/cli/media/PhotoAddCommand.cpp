#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>

#include "cli/Commands.h"
#include "model/Preferences.h"
#include "model/TerminalText.h"
#include "services/FallbackGeocoder.h"
#include "services/GeocodingService.h"
#include "services/PhotoImportService.h"

namespace vantrel::cli {

namespace {

// Larger files are no photos worth decoding; refusing them keeps memory bounded.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{256} * 1024 * 1024;

Bytes readPhotoFile(const std::filesystem::path& file) {
    std::error_code error;
    auto size = std::filesystem::file_size(file, error);
    if (error) throw std::runtime_error("Could not read " + file.string() + ": " + error.message());
    if (size > kMaxFileBytes)
        throw std::runtime_error(file.string() + " is too large for a photo.");
    std::ifstream in(file, std::ios::binary);
    Bytes bytes(size);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!in) {
        throw std::runtime_error("Could not read " + file.string() + ": " + std::strerror(errno));
    }
    return bytes;
}

std::vector<PickedPhoto> pickedFiles(const std::vector<std::string>& paths) {
    std::vector<PickedPhoto> items;
    items.reserve(paths.size());
    for (const auto& path : paths) {
        items.push_back({path, [path] { return std::optional<Bytes>(readPhotoFile(path)); }});
    }
    return items;
}

RideRef fetchRide(CliContext& ctx) {
    auto rideID = Uuid::parse(ctx.args.front());
    if (!rideID) throw UsageError("not an activity ID: " + ctx.args.front());
    auto ride = ctx.store().fetchByRideID(*rideID);
    if (!ride) throw UsageError("no activity with ID " + rideID->toString());
    return ride;
}

// An activity without a route takes its place from the first added photo that has one.
void placeBySuggestion(CliContext& ctx, PersistedRide& ride, CodableCoordinate coordinate) {
    auto geocoder = FallbackGeocoder::standard(ctx.preferences());
    if (!GeocodingService::setLocation(ride, coordinate, false, 0, *geocoder)) return;
    ctx.store().save();
    ctx.out << "Location set from a photo" << (ride.city ? ": " + terminalText(*ride.city) : "")
            << ".\n";
}

}  // namespace

int runPhotoAdd(CliContext& ctx) {
    ctx.rejectUnknownOptions();
    if (ctx.args.size() < 2) throw UsageError("photo-add needs an activity ID and image files");
    RideRef ride = fetchRide(ctx);
    auto items = pickedFiles({ctx.args.begin() + 1, ctx.args.end()});
    auto result = PhotoImportService::addPickedPhotos(ctx.store(), *ride, items);
    ctx.out << "Added " << result.added << (result.added == 1 ? " photo.\n" : " photos.\n");
    if (result.ignoredOverLimit > 0) {
        ctx.err << "Maximum of " << PhotoImportService::kMaxPhotosPerActivity
                << " photos per activity.\n";
    }
    if (result.importError) ctx.err << terminalText(*result.importError) << '\n';
    if (result.importErrorDetail) ctx.err << terminalText(*result.importErrorDetail) << '\n';
    if (result.suggestedLocation) placeBySuggestion(ctx, *ride, *result.suggestedLocation);
    return result.importError ? 1 : 0;
}

}  // namespace vantrel::cli
