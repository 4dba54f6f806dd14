#include "import/ActivityImporter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <numbers>
#include <unordered_map>

#include "import/ActivityFormat.h"
#include "import/BulkImportRun.h"
#include "import/ElevationCalculator.h"
#include "import/FileBytes.h"
#include "import/Gunzip.h"
#include "import/MultisportSplitter.h"
#include "import/RideImportError.h"
#include "import/SensorSeries.h"
#include "logging/PersistentLogger.h"
#include "model/AsciiText.h"
#include "model/RideStore.h"

namespace vantrel {

namespace {

constexpr double kEarthRadiusMeters = 6'371'000.0;

std::string asciiUppercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string extensionOf(const std::string& name) {
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string withoutExtension(const std::string& name) {
    auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool isGzipName(const std::string& name) {
    return asciiLowercased(extensionOf(name)) == "gz";
}

// The extension that picks the reader: the inner one for a gzip-compressed file.
std::string readerExtension(const std::string& name) {
    return asciiLowercased(extensionOf(isGzipName(name) ? withoutExtension(name) : name));
}

// A reader for files with extension `ext`; throws for an extension no format has.
std::unique_ptr<ActivityReader> readerFor(const std::string& ext) {
    const ActivityFormat* format = activityFormatFor(ext);
    if (!format) throw RideImportError::unsupportedFileType(ext);
    return format->makeReader();
}

std::string importSourceText(const std::optional<std::string>& label, const std::string& ext) {
    std::string type = asciiUppercased(ext);
    return label ? *label + " (" + type + ")" : type;
}

double haversine(const ImportedTrackpoint& a, const ImportedTrackpoint& b) {
    constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
    double phi1 = a.latitude * kRadiansPerDegree;
    double phi2 = b.latitude * kRadiansPerDegree;
    double dPhi = (b.latitude - a.latitude) * kRadiansPerDegree;
    double dLambda = (b.longitude - a.longitude) * kRadiansPerDegree;
    double h = std::pow(std::sin(dPhi / 2), 2) +
               std::cos(phi1) * std::cos(phi2) * std::pow(std::sin(dLambda / 2), 2);
    // Rounding lifts h just past 1 for antipodal points, and √(1 − h) would be NaN.
    h = std::clamp(h, 0.0, 1.0);
    return 2 * std::atan2(std::sqrt(h), std::sqrt(1 - h)) * kEarthRadiusMeters;
}

struct HeartRateSummary {
    double average = 0;
    double maximum = 0;
};

HeartRateSummary trackpointHeartRate(const std::vector<ImportedTrackpoint>& points) {
    double sum = 0;
    double maximum = 0;
    std::size_t count = 0;
    for (const auto& point : points) {
        if (!point.heartRate) continue;
        sum += *point.heartRate;
        maximum = count == 0 ? *point.heartRate : std::max(maximum, *point.heartRate);
        ++count;
    }
    return count == 0 ? HeartRateSummary{} : HeartRateSummary{sum / count, maximum};
}

std::optional<double> largestLapMaximum(const std::vector<ImportedLapSummary>& laps) {
    std::optional<double> largest;
    for (const auto& lap : laps) {
        if (lap.maxHeartRate && (!largest || *lap.maxHeartRate > *largest)) {
            largest = lap.maxHeartRate;
        }
    }
    return largest;
}

HeartRateSummary heartRateOf(const std::vector<ImportedTrackpoint>& points,
                             const std::vector<ImportedLapSummary>& laps) {
    if (!laps.empty()) {
        auto average = lapWeightedHeartRate(laps);
        auto maximum = largestLapMaximum(laps);
        if (average && maximum) return {*average, *maximum};
    }
    return trackpointHeartRate(points);
}

std::vector<RoutePoint> routeOf(const std::vector<ImportedTrackpoint>& points) {
    std::vector<RoutePoint> route;
    route.reserve(points.size());
    for (const auto& point : points) {
        route.push_back({Uuid::random(),
                         {point.latitude, point.longitude},
                         point.altitude.value_or(0),
                         point.timestamp});
    }
    return route;
}

std::vector<HeartRateSample> heartRateSeriesOf(const std::vector<ImportedTrackpoint>& points) {
    std::vector<HeartRateSample> samples;
    for (const auto& point : points) {
        if (point.heartRate) samples.push_back({Uuid::random(), point.timestamp, *point.heartRate});
    }
    return samples;
}

// A statistic that overflowed (laps of 1e308 seconds, altitudes of ±1e308) says nothing about
// the activity and cannot be stored; 0 is what the record holds when a value is unknown.
double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

void clearNonFiniteStatistics(PersistedRide& ride) {
    for (double* value :
         {&ride.duration, &ride.distance, &ride.elevationGain, &ride.averageHeartRate,
          &ride.maxHeartRate, &ride.calories, &ride.activeTime}) {
        *value = finiteOrZero(*value);
    }
}

void dropPointsWithoutPosition(std::vector<ImportedTrackpoint>& points) {
    std::erase_if(points, [](const ImportedTrackpoint& point) {
        return !isValidPosition(point.latitude, point.longitude);
    });
}

template <typename Value>
double sumOf(const std::vector<ImportedLapSummary>& laps, Value ImportedLapSummary::*field) {
    double sum = 0;
    for (const auto& lap : laps) sum += lap.*field;
    return sum;
}

// What the sessions say was covered, transitions left out.
double sessionDistance(const std::vector<ImportedSession>& sessions) {
    double sum = 0;
    for (const auto& session : sessions) {
        if (!session.transition) sum += session.distanceMeters.value_or(0);
    }
    return sum;
}

// Counters that went backwards (a sensor that restarted) must not shorten the activity.
double largestPointDistance(const std::vector<ImportedTrackpoint>& points) {
    double largest = 0;
    for (const auto& point : points) {
        if (point.distance && std::isfinite(*point.distance)) {
            largest = std::max(largest, *point.distance);
        }
    }
    return largest;
}

// An activity recorded without positions (`fileDistance` present) has no route to measure:
// its distance is the largest the file states, and paused laps may outlast its points.
PersistedRide buildFromPoints(std::vector<ImportedTrackpoint> points,
                              const std::vector<ImportedLapSummary>& laps,
                              std::optional<ActivityType> type, const std::string& importSource,
                              std::optional<double> fileDistance) {
    if (points.empty()) throw RideImportError::noTrackpoints();
    auto earlier = [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; };
    // Recordings come in time order: a stable sort would only copy every point through a
    // buffer to leave them where they are.
    if (!std::is_sorted(points.begin(), points.end(), earlier)) {
        std::stable_sort(points.begin(), points.end(), earlier);
    }
    bool placed = !fileDistance;
    double lapDistance = sumOf(laps, &ImportedLapSummary::distanceMeters);
    double lapTime = sumOf(laps, &ImportedLapSummary::totalTimeSeconds);
    PersistedRide ride;
    ride.date = points.front().timestamp;
    ride.duration = points.back().timestamp - ride.date;
    if (placed) {
        ride.distance = laps.empty() ? gpsDistance(points) : lapDistance;
    } else {
        ride.distance = std::max({lapDistance, *fileDistance, largestPointDistance(points)});
        ride.duration = std::max(ride.duration, lapTime);
    }
    ride.elevationGain = trackElevationGain(points);
    HeartRateSummary heartRate = heartRateOf(points, laps);
    ride.averageHeartRate = heartRate.average;
    ride.maxHeartRate = heartRate.maximum;
    ride.calories = sumOf(laps, &ImportedLapSummary::calories);
    ride.activeTime = laps.empty() ? ride.duration : lapTime;
    if (placed) ride.setRoutePoints(routeOf(points));
    ride.setHeartRateSamples(heartRateSeriesOf(points));
    applyPowerAndCadence(ride, points);
    if (type) ride.activityType = std::string(rawValue(*type));
    ride.importSource = importSource;
    clearNonFiniteStatistics(ride);
    return ride;
}

}  // namespace

ImportedActivity readActivityFile(const Bytes& bytes, const std::string& fileName) {
    if (!isGzipName(fileName)) return readerFor(readerExtension(fileName))->parseFileContent(bytes);
    Bytes inflated = gunzip(bytes);
    return readerFor(readerExtension(fileName))->parseFileContent(inflated);
}

Bytes readActivityFileBytes(const std::filesystem::path& file) {
    FileReader reader(file);
    if (reader.sizeWhenOpened() > kMaxActivityFileBytes) throw RideImportError::fileTooLarge();
    std::optional<Bytes> bytes = reader.readRest(kMaxActivityFileBytes);
    if (!bytes) throw RideImportError::fileTooLarge();
    return std::move(*bytes);
}

ImportedActivity readActivityFile(const std::filesystem::path& file) {
    std::string fileName = file.filename().string();
    const ActivityFormat* format =
        isGzipName(fileName) ? nullptr : activityFormatFor(readerExtension(fileName));
    // A compressed file is inflated whole. A file of no known format is read all the same, so
    // that one that cannot be read says so before its type is refused.
    if (!format) return readActivityFile(readActivityFileBytes(file), fileName);
    // The reader opens the file itself; its size is checked first all the same.
    if (FileReader(file).sizeWhenOpened() > kMaxActivityFileBytes)
        throw RideImportError::fileTooLarge();
    return format->makeReader()->parseFile(file);
}

PersistedRide importActivityFile(const Bytes& bytes, const std::string& fileName,
                                 const std::optional<std::string>& sourceLabel) {
    return buildActivity(readActivityFile(bytes, fileName),
                         importSourceText(sourceLabel, readerExtension(fileName)));
}

ImportedLegs importActivityLegs(const Bytes& bytes, const std::string& fileName,
                                const std::optional<std::string>& sourceLabel) {
    MultisportSplit split = MultisportSplitter::split(readActivityFile(bytes, fileName));
    std::string source = importSourceText(sourceLabel, readerExtension(fileName));
    ImportedLegs imported;
    imported.warning = std::move(split.warning);
    for (auto& leg : split.legs) imported.rides.push_back(buildActivity(std::move(leg), source));
    return imported;
}

PersistedRide buildActivity(std::vector<ImportedTrackpoint> trackpoints,
                            const std::vector<ImportedLapSummary>& laps,
                            std::optional<ActivityType> type, const std::string& importSource) {
    dropPointsWithoutPosition(trackpoints);
    return buildFromPoints(std::move(trackpoints), laps, type, importSource, std::nullopt);
}

PersistedRide buildActivity(ImportedActivity activity, const std::string& importSource) {
    dropPointsWithoutPosition(activity.trackpoints);
    if (!activity.trackpoints.empty() || activity.unplacedPoints.empty()) {
        return buildFromPoints(std::move(activity.trackpoints), activity.lapSummaries,
                               activity.activityType, importSource, std::nullopt);
    }
    return buildFromPoints(std::move(activity.unplacedPoints), activity.lapSummaries,
                           activity.activityType, importSource, sessionDistance(activity.sessions));
}

double gpsDistance(const std::vector<ImportedTrackpoint>& points) {
    double total = 0;
    for (std::size_t i = 1; i < points.size(); ++i) total += haversine(points[i - 1], points[i]);
    return total;
}

double trackElevationGain(const std::vector<ImportedTrackpoint>& points) {
    ElevationCalculator calculator;
    for (const auto& point : points) {
        if (point.altitude) calculator.addAltitude(*point.altitude);
    }
    return calculator.totalElevationGain();
}

std::optional<double> lapWeightedHeartRate(const std::vector<ImportedLapSummary>& laps) {
    double weighted = 0;
    double time = 0;
    for (const auto& lap : laps) {
        if (!lap.averageHeartRate || !(lap.totalTimeSeconds > 0)) continue;
        weighted += *lap.averageHeartRate * lap.totalTimeSeconds;
        time += lap.totalTimeSeconds;
    }
    if (!(time > 0)) return std::nullopt;
    // Laps of 1e308 seconds overflow both sums, and inf / inf is no heart rate.
    return finiteOrZero(weighted / time);
}

void logKeptTogether(PersistentLogger& logger, const std::string& fileName,
                     const std::optional<std::string>& warning) {
    if (!warning) return;
    logger.log(LogLevel::warn, "Import",
               fileName + ": imported as one activity because " + *warning);
}

namespace {

std::string activityCountText(int count) {
    return std::to_string(count) + (count == 1 ? " activity" : " activities");
}

void recordFailure(PersistentLogger& logger, FileListImportResult& result, const std::string& name,
                   const std::string& description) {
    logger.log(LogLevel::error, "Import", "Import failed for " + name + ": " + description);
    result.failures.emplace_back(name, description);
}

/// The loose-file loop, with or without the duplicate test.
class FileListImport {
  public:
    FileListImport(RideStore& store, const std::optional<std::string>& sourceLabel,
                   PersistentLogger& logger, bool skipDuplicates)
        : m_store(store), m_label(sourceLabel), m_logger(logger), m_skipDuplicates(skipDuplicates) {
        if (skipDuplicates) m_reference = store.allRecords(false);
    }

    FileListImportResult run(const std::vector<std::filesystem::path>& files,
                             const std::function<void(int, int)>& progress) {
        int total = static_cast<int>(files.size());
        for (int i = 0; i < total; ++i) {
            const auto& file = files[static_cast<std::size_t>(i)];
            try {
                importOne(file);
            } catch (const std::exception& error) {
                recordFailure(m_logger, m_result, file.filename().string(), error.what());
            }
            if (progress) progress(i + 1, total);
        }
        finish();
        return m_result;
    }

  private:
    void importOne(const std::filesystem::path& file) {
        std::string name = file.filename().string();
        Bytes bytes = readActivityFileBytes(file);
        ImportedLegs legs = importActivityLegs(bytes, name, m_label);
        logKeptTogether(m_logger, name, legs.warning);
        // Each leg of a multisport file is an activity of its own, tested on its own.
        for (auto& leg : legs.rides) {
            if (m_skipDuplicates && isDuplicateActivity(leg.date, leg.duration, m_reference)) {
                ++m_result.skipped;
                continue;
            }
            auto ride = std::make_shared<PersistedRide>(std::move(leg));
            m_store.insert(ride);
            m_names.emplace(ride.get(), name);
            ++m_result.imported;
            ++m_pending;
        }
        // The application's own imports take whole folders: they save as the archive runs do.
        if (m_skipDuplicates && m_pending >= kSaveInterval) {
            try {
                save();
            } catch (const std::exception&) {
                // What it missed stays pending for the next save.
            }
        }
    }

    // A record the store refuses is dropped and reported under its file; the others are saved.
    void save() {
        auto dropped = m_store.saveDroppingUnwritable();
        for (const auto& [ride, reason] : dropped) {
            recordFailure(m_logger, m_result, m_names.at(ride.get()),
                          "could not be saved: " + reason);
            --m_result.imported;
        }
        m_result.saved += m_pending - static_cast<int>(dropped.size());
        m_pending = 0;
        m_names.clear();
    }

    void finish() {
        bool inserted = m_pending > 0;
        try {
            if (inserted) save();
        } catch (const std::exception& error) {
            m_result.saveError = error.what();
            m_logger.log(LogLevel::error, "Import",
                         std::string("Failed to save imported activities: ") + error.what());
            return;
        }
        if (m_skipDuplicates && m_result.imported + m_result.skipped > 0) {
            m_logger.log(LogLevel::info, "Import",
                         importCompletionText(m_result.imported, m_result.skipped));
        } else if (!m_skipDuplicates && inserted) {
            m_logger.log(LogLevel::info, "Import",
                         "Imported " + activityCountText(m_result.imported));
        }
    }

    static constexpr int kSaveInterval = 50;

    RideStore& m_store;
    const std::optional<std::string>& m_label;
    PersistentLogger& m_logger;
    bool m_skipDuplicates;
    std::vector<RideRef> m_reference;
    FileListImportResult m_result;
    int m_pending = 0;
    std::unordered_map<const PersistedRide*, std::string> m_names;
};

}  // namespace

FileListImportResult importFileList(RideStore& store,
                                    const std::vector<std::filesystem::path>& files,
                                    const std::optional<std::string>& sourceLabel,
                                    PersistentLogger& logger,
                                    const std::function<void(int done, int total)>& progress) {
    return FileListImport(store, sourceLabel, logger, false).run(files, progress);
}

FileListImportResult importNewActivityFiles(
    RideStore& store, const std::vector<std::filesystem::path>& files,
    const std::optional<std::string>& sourceLabel, PersistentLogger& logger,
    const std::function<void(int done, int total)>& progress) {
    return FileListImport(store, sourceLabel, logger, true).run(files, progress);
}

}  // namespace vantrel
