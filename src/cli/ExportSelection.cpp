#include "cli/ExportSelection.h"

#include <charconv>

namespace vantrel::cli {

std::vector<RideRef> fetchRideArguments(CliContext& ctx) {
    std::vector<RideRef> rides;
    for (const auto& argument : ctx.args) {
        auto rideID = Uuid::parse(argument);
        if (!rideID) throw UsageError("not an activity ID: " + argument);
        auto ride = ctx.store().fetchByRideID(*rideID);
        if (!ride) throw UsageError("no activity with ID " + rideID->toString());
        rides.push_back(std::move(ride));
    }
    return rides;
}

std::optional<int> takeYearOption(CliContext& ctx) {
    auto text = ctx.takeOption("--year");
    if (!text) return std::nullopt;
    int year = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), year);
    if (error != std::errc() || end != text->data() + text->size() || year < 1 || year > 9999) {
        throw UsageError("not a year: " + *text);
    }
    return year;
}

std::string countedActivities(int count) {
    return std::to_string(count) + (count == 1 ? " activity" : " activities");
}

std::filesystem::path outputFile(const std::filesystem::path& file,
                                 const std::string& proposedName) {
    std::error_code ignored;
    return std::filesystem::is_directory(file, ignored) ? file / proposedName : file;
}

std::function<void(int, int)> progressDrawer(ProgressLine& line, const std::string& verb) {
    return [&line, verb](int done, int total) {
        line.update(verb + " " + groupedNumber(done) + " of " + groupedNumber(total) + "…",
                    done == total);
    };
}

}  // namespace vantrel::cli
