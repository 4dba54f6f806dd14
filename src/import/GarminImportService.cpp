#include "import/GarminImportService.h"

#include <simdjson.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"
#include "model/AsciiText.h"
#include "model/RideStore.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;
using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

constexpr double kSummaryMatchWindow = 300;

std::vector<fs::path> directEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    if (error) return {};
    return entries;
}

std::optional<double> numberMember(const object& activity, const char* key) {
    element value;
    if (activity.at_key(key).get(value) != simdjson::SUCCESS) return std::nullopt;
    switch (value.type()) {
        case element_type::INT64:
            return static_cast<double>(value.get_int64().value_unsafe());
        case element_type::UINT64:
            return static_cast<double>(value.get_uint64().value_unsafe());
        case element_type::DOUBLE:
            return value.get_double().value_unsafe();
        default:
            return std::nullopt;
    }
}

std::optional<std::string> textMember(const object& activity, const char* key) {
    std::string_view text;
    if (activity.at_key(key).get_string().get(text) != simdjson::SUCCESS) return std::nullopt;
    return std::string(text);
}

std::int64_t identifierMember(const object& activity) {
    element value;
    if (activity.at_key("activityId").get(value) != simdjson::SUCCESS) return 0;
    if (value.type() == element_type::INT64) return value.get_int64().value_unsafe();
    auto number = numberMember(activity, "activityId");
    constexpr double kLimit = 9223372036854775807.0;
    if (!number || *number != std::trunc(*number) || std::abs(*number) >= kLimit) return 0;
    return static_cast<std::int64_t>(*number);
}

GarminActivity garminActivityFrom(const object& activity) {
    GarminActivity summary;
    summary.activityId = identifierMember(activity);
    summary.activityType = textMember(activity, "activityType");
    summary.startTimestamp =
        dateFromUnix(numberMember(activity, "beginTimestamp").value_or(0) / 1000);
    summary.duration = numberMember(activity, "duration").value_or(0) / 1000;
    summary.distance = numberMember(activity, "distance").value_or(0) / 100;
    summary.elevationGain = numberMember(activity, "elevationGain").value_or(0) / 100;
    summary.avgHR = numberMember(activity, "avgHr").value_or(0);
    summary.maxHR = numberMember(activity, "maxHr").value_or(0);
    summary.calories = numberMember(activity, "calories").value_or(0);
    summary.name = textMember(activity, "name");
    return summary;
}

/// The "summarizedActivitiesExport" array of a parsed file, when the file has the expected
/// shape: a non-empty array whose first element is an object holding an array of objects.
std::optional<simdjson::dom::array> exportedActivities(const element& document) {
    simdjson::dom::array top;
    object first;
    simdjson::dom::array activities;
    if (document.get_array().get(top) != simdjson::SUCCESS || top.size() == 0) return std::nullopt;
    if (top.at(0).get_object().get(first) != simdjson::SUCCESS) return std::nullopt;
    if (first.at_key("summarizedActivitiesExport").get_array().get(activities) !=
        simdjson::SUCCESS) {
        return std::nullopt;
    }
    for (element activity : activities) {
        if (activity.type() != element_type::OBJECT) return std::nullopt;
    }
    return activities;
}

// The DOM parser validates the whole file, so a file broken anywhere is skipped as a whole.
void appendSummaries(simdjson::dom::parser& parser, const fs::path& file,
                     std::vector<GarminActivity>& summaries) {
    simdjson::padded_string json;
    element document;
    if (simdjson::padded_string::load(file.string()).get(json) != simdjson::SUCCESS) return;
    if (parser.parse(json).get(document) != simdjson::SUCCESS) return;
    auto activities = exportedActivities(document);
    if (!activities) return;
    for (element activity : *activities) {
        summaries.push_back(garminActivityFrom(activity.get_object().value_unsafe()));
    }
}

bool isSummaryFile(const fs::path& file) {
    return file.filename().string().find("summarizedActivities") != std::string::npos &&
           file.extension() == ".json";
}

const GarminActivity* matchingSummary(const PersistedRide& ride,
                                      const std::vector<GarminActivity>& summaries) {
    for (const auto& summary : summaries) {
        if (std::abs(summary.startTimestamp - ride.date) < kSummaryMatchWindow) return &summary;
    }
    return nullptr;
}

/// Deletes every reference record that the new one duplicates; each record only once, since
/// deleted records stay in the reference list until the next archive.
void removeOverlapping(RideStore& store, const PersistedRide& ride,
                       const std::vector<RideRef>& reference,
                       std::unordered_set<std::int64_t>& removed) {
    for (const auto& stored : reference) {
        if (!isDuplicateActivity(ride.date, ride.duration, {stored})) continue;
        if (!removed.insert(stored->objectID).second) continue;
        try {
            store.remove(stored);
        } catch (const std::exception&) {
        }
    }
}

void logGarminSummary(PersistentLogger& logger, const BulkImportResult& result) {
    if (logFailedSave(logger, "Garmin import", result)) return;
    logger.log(LogLevel::info, "Import",
               "Garmin import: " + std::to_string(result.imported) + " imported (" +
                   std::to_string(result.supplemented) + " supplemented from JSON), " +
                   std::to_string(result.skipped) + " skipped, " + std::to_string(result.errors) +
                   " errors");
}

}  // namespace

GarminFolders locateGarminFolders(const fs::path& chosenFolder) {
    auto existing = [](const fs::path& path) -> std::optional<fs::path> {
        std::error_code error;
        if (fs::exists(fs::symlink_status(path, error))) return path;
        return std::nullopt;
    };
    fs::path connect = chosenFolder / "DI_CONNECT";
    return {existing(connect / "DI-Connect-Fitness"),
            existing(connect / "DI-Connect-Uploaded-Files")};
}

std::vector<fs::path> listGarminArchives(const fs::path& uploadsFolder) {
    std::vector<fs::path> archives;
    for (auto& entry : directEntries(uploadsFolder)) {
        if (asciiLowercased(entry.extension().string()) == ".zip")
            archives.push_back(std::move(entry));
    }
    std::sort(archives.begin(), archives.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() < b.filename().string();
    });
    return archives;
}

std::vector<GarminActivity> loadGarminActivities(const fs::path& fitnessFolder) {
    std::vector<fs::path> files;
    for (auto& entry : directEntries(fitnessFolder)) {
        if (isSummaryFile(entry)) files.push_back(std::move(entry));
    }
    // Directory order is arbitrary; name order makes "the first matching summary" repeatable.
    std::sort(files.begin(), files.end());
    simdjson::dom::parser parser;
    std::vector<GarminActivity> summaries;
    for (const auto& file : files) appendSummaries(parser, file, summaries);
    return summaries;
}

ActivityType garminActivityType(const std::optional<std::string>& typeKey) {
    static const std::pair<const char*, ActivityType> kTable[] = {
        {"running", ActivityType::running},
        {"treadmill_running", ActivityType::treadmill},
        {"cycling", ActivityType::cycling},
        {"mountain_biking", ActivityType::mountainBiking},
        {"trail_running", ActivityType::trailRunning},
        {"walking", ActivityType::walking},
        {"hiking", ActivityType::hiking},
        {"lap_swimming", ActivityType::swimming},
        {"open_water_swimming", ActivityType::swimming},
    };
    if (!typeKey) return ActivityType::other;
    std::string key = asciiLowercased(*typeKey);
    for (const auto& [text, type] : kTable) {
        if (key == text) return type;
    }
    return ActivityType::other;
}

std::string garminConfirmationText(std::size_t archiveCount, std::size_t summaryCount) {
    std::string text = "Found " + std::to_string(archiveCount) + " ZIP file" +
                       (archiveCount == 1 ? "" : "s") + " with activity data.";
    if (summaryCount > 0) {
        text += " Also found " + std::to_string(summaryCount) +
                " activity records for metadata (activity type, HR, calories).";
    }
    return text + "\n\nImport now?";
}

bool supplementFromSummary(PersistedRide& ride, const GarminActivity& summary) {
    bool typeTaken = !ride.activityType || *ride.activityType == "other";
    if (typeTaken)
        ride.activityType = std::string(rawValue(garminActivityType(summary.activityType)));
    auto fill = [](double& value, double fromSummary) {
        if (value == 0 && fromSummary > 0) value = fromSummary;
    };
    fill(ride.averageHeartRate, summary.avgHR);
    fill(ride.maxHeartRate, summary.maxHR);
    fill(ride.calories, summary.calories);
    fill(ride.elevationGain, summary.elevationGain);
    return typeTaken;
}

BulkImportResult importGarminExport(RideStore& store, const std::vector<fs::path>& archives,
                                    const std::vector<GarminActivity>& summaries, bool replace,
                                    const BulkImportOptions& options) {
    BulkImportRun run(store, std::string("Garmin"), options);
    std::unordered_set<std::int64_t> removed;
    auto handler = [&](PersistedRide& ride, const std::vector<RideRef>& reference) {
        if (isDuplicateActivity(ride.date, ride.duration, reference)) {
            if (!replace) return BulkImportRun::Decision::skip;
            removeOverlapping(store, ride, reference, removed);
        }
        if (const GarminActivity* summary = matchingSummary(ride, summaries)) {
            if (supplementFromSummary(ride, *summary)) ++run.result().supplemented;
        }
        return BulkImportRun::Decision::insert;
    };
    for (const auto& archive : archives) run.importArchive(archive, handler);
    BulkImportResult result = run.finish();
    logGarminSummary(run.logger(), result);
    return result;
}

}  // namespace vantrel
