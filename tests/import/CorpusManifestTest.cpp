// Every file of the shared corpus against the reference values of independent tools.
#include <gtest/gtest.h>
#include <simdjson.h>

#include <map>

#include "import/ActivityImporter.h"
#include "import/FileBytes.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

struct Reference {
    std::int64_t trackpoints = 0;
    std::int64_t laps = 0;
    double lapDistance = 0;
    std::optional<std::string> firstTime;
    std::optional<std::string> lastTime;
    std::optional<ActivityType> activityType;
};

struct CorpusEntry {
    std::string file;
    std::string format;
    Reference reference;
};

// Files whose defect must stop the import, with the error text the user sees for it.
const std::map<std::string, std::string>& expectedFailures() {
    static const std::map<std::string, std::string> failures = {
        {"gpxpy__route-only.gpx", "No GPS trackpoints found in the file."},
        {"gpxpy__unicode-with-bom.gpx", "No GPS trackpoints found in the file."},
        {"sportslib__strava-android-invalid-xml.gpx", "Failed to parse file: unbound prefix"},
        // The header's data size 0 leaves no records to read.
        {"sportslib__empty-activities.fit", "No GPS trackpoints found in the file."},
        // The header announces 19 more bytes of records than the file holds.
        {"fitparse__strava-android-app.fit", "FIT file is truncated."},
        // A definition with a corrupt architecture byte misaligns every later message until one
        // runs past the end of the file.
        {"gpsbabel__lezyne-super-gps-bad-endian.fit", "FIT file is truncated."},
    };
    return failures;
}

bool present(simdjson::simdjson_result<simdjson::dom::element> value) {
    return !value.error() && !value.value_unsafe().is_null();
}

std::optional<std::string> optionalText(simdjson::simdjson_result<simdjson::dom::element> value) {
    if (!present(value)) return std::nullopt;
    return std::string(std::string_view(value));
}

std::optional<ActivityType> fitSport(simdjson::dom::array sessions) {
    static const std::map<std::pair<int, int>, ActivityType> special = {
        {{1, 1}, ActivityType::treadmill},      {{1, 3}, ActivityType::trailRunning},
        {{2, 5}, ActivityType::indoorCycling},  {{2, 6}, ActivityType::indoorCycling},
        {{2, 7}, ActivityType::roadCycling},    {{2, 8}, ActivityType::mountainBiking},
        {{2, 9}, ActivityType::mountainBiking}, {{2, 11}, ActivityType::gravelCycling}};
    static const std::map<int, ActivityType> bySport = {
        {1, ActivityType::running},  {2, ActivityType::cycling}, {5, ActivityType::swimming},
        {11, ActivityType::walking}, {17, ActivityType::hiking}, {21, ActivityType::eBiking}};
    if (sessions.size() == 0) return std::nullopt;
    simdjson::dom::element last;
    for (auto session : sessions) last = session;
    int sport = static_cast<int>(std::int64_t(last["sport"]));
    int subSport =
        !present(last["sub_sport"]) ? 0 : static_cast<int>(std::int64_t(last["sub_sport"]));
    if (auto found = special.find({sport, subSport}); found != special.end()) return found->second;
    auto found = bySport.find(sport);
    return found == bySport.end() ? ActivityType::other : found->second;
}

Reference fitReference(simdjson::dom::element r) {
    if (present(r["first_fit_file_only"])) {
        // Only the first file of a chain is read.
        auto first = r["first_fit_file_only"];
        return {
            first["records_with_position_and_timestamp"], first["lap_messages"],
            double(first["lap_total_distance_sum_m"]),    optionalText(first["first_timestamp"]),
            optionalText(first["last_timestamp"]),        fitSport(first["sessions"])};
    }
    return {r["records_with_position_and_timestamp"], r["lap_messages"],
            double(r["lap_total_distance_sum_m"]),    optionalText(r["first_timestamp"]),
            optionalText(r["last_timestamp"]),        fitSport(r["sessions"])};
}

Reference tcxReference(simdjson::dom::element r) {
    auto sport = optionalText(r["activity_sport"]);
    std::optional<ActivityType> type;
    if (sport)
        type = *sport == "Biking"    ? ActivityType::cycling
               : *sport == "Running" ? ActivityType::running
                                     : ActivityType::other;
    return {r["trackpoints_with_time_lat_lon"], r["laps"],
            double(r["lap_distance_sum_m"]),    optionalText(r["first_time_text"]),
            optionalText(r["last_time_text"]),  type};
}

Reference gpxReference(simdjson::dom::element r) {
    if (r["trkpts_with_lat_lon_time"].error()) return {};  // not well-formed: no reference
    auto type = optionalText(r["type_last_outside_trkpt"]);
    return {r["trkpts_with_lat_lon_time"],
            0,
            0,
            optionalText(r["first_time"]),
            optionalText(r["last_time"]),
            type ? std::optional(activityTypeFromText(*type)) : std::nullopt};
}

std::vector<CorpusEntry> loadManifest() {
    static simdjson::dom::parser parser;
    simdjson::dom::element manifest = parser.load(test::corpusFile("MANIFEST.json").string());
    std::vector<CorpusEntry> entries;
    for (simdjson::dom::element file : manifest["files"].get_array()) {
        CorpusEntry entry{std::string(std::string_view(file["file"])),
                          std::string(std::string_view(file["format"])),
                          {}};
        simdjson::dom::element reference = file["reference"];
        if (entry.format.starts_with("fit")) entry.reference = fitReference(reference);
        if (entry.format.starts_with("tcx")) entry.reference = tcxReference(reference);
        if (entry.format.starts_with("gpx")) entry.reference = gpxReference(reference);
        entries.push_back(entry);
    }
    return entries;
}

class CorpusManifest : public ::testing::TestWithParam<CorpusEntry> {};

void expectReaderMatches(const ImportedActivity& activity, const Reference& reference) {
    EXPECT_EQ(static_cast<std::int64_t>(activity.trackpoints.size()), reference.trackpoints);
    EXPECT_EQ(static_cast<std::int64_t>(activity.lapSummaries.size()), reference.laps);
    double lapDistance = 0;
    for (const auto& lap : activity.lapSummaries) lapDistance += lap.distanceMeters;
    EXPECT_NEAR(lapDistance, reference.lapDistance, 0.01);
    EXPECT_EQ(activity.activityType, reference.activityType);
    if (activity.trackpoints.empty()) return;
    ASSERT_TRUE(reference.firstTime && reference.lastTime);
    EXPECT_EQ(formatISO8601Milliseconds(activity.trackpoints.front().timestamp),
              formatISO8601Milliseconds(*parseISO8601Either(*reference.firstTime)));
    EXPECT_EQ(formatISO8601Milliseconds(activity.trackpoints.back().timestamp),
              formatISO8601Milliseconds(*parseISO8601Either(*reference.lastTime)));
}

// Files whose points all lack a position import without route data.
std::string importOutcome(const Bytes& bytes, const std::string& name, const Reference& reference) {
    try {
        PersistedRide ride = importActivityFile(bytes, name, std::nullopt);
        EXPECT_EQ(ride.routeData.has_value(), reference.trackpoints > 0);
        return "imported";
    } catch (const std::exception& error) {
        return error.what();
    }
}

TEST_P(CorpusManifest, ImportsAsTheReferenceSays) {
    const CorpusEntry& entry = GetParam();
    Bytes bytes = readWholeFile(test::corpusFile(entry.file));
    auto failure = expectedFailures().find(entry.file);
    std::string outcome = importOutcome(bytes, entry.file, entry.reference);
    if (failure == expectedFailures().end()) {
        EXPECT_EQ(outcome, "imported");
    } else {
        EXPECT_TRUE(outcome.starts_with(failure->second)) << outcome;
    }
    if (outcome.starts_with("Failed to parse") || outcome.starts_with("FIT file")) return;
    expectReaderMatches(readActivityFile(bytes, entry.file), entry.reference);
}

std::string testName(const ::testing::TestParamInfo<CorpusEntry>& info) {
    std::string name;
    for (char c : info.param.file) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(SharedCorpus, CorpusManifest, ::testing::ValuesIn(loadManifest()),
                         testName);

TEST(CorpusManifestFile, ListsEveryCorpusFile) {
    EXPECT_EQ(loadManifest().size(), 41u);
}

}  // namespace
}  // namespace vantrel
