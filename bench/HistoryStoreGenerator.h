#pragma once

// A store of many short activities spread over years, kinds and places, for timing what
// walks a whole history. Without series the records carry only what lists and filters read;
// with them every activity also has a route of a few hundred points (a wandering line around
// its town, at the pace of its kind) and a heart rate sample per point.
//
// A history with series takes minutes to make at 100,000 activities, so `cachedHistoryStore`
// makes it once into a folder under /tmp (VANTREL_BENCH_STORES names another) and later runs
// reuse it: delete the folder after changing the generator.

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "model/ActivityType.h"
#include "model/RideStore.h"

namespace vantrel::bench {

inline constexpr int kGeneratedYears = 15;

struct GeneratedPlace {
    const char* name;
    double latitude;
    double longitude;
};

inline constexpr std::array<GeneratedPlace, 12> kGeneratedPlaces{{
    {"Zürich", 47.3769, 8.5417},
    {"Bern", 46.9480, 7.4474},
    {"Basel", 47.5596, 7.5886},
    {"Lausanne", 46.5197, 6.6323},
    {"Genève", 46.2044, 6.1432},
    {"Luzern", 47.0502, 8.3093},
    {"Thun", 46.7580, 7.6280},
    {"Chur", 46.8508, 9.5320},
    {"Lugano", 46.0037, 8.9511},
    {"St. Gallen", 47.4245, 9.3767},
    {"Sion", 46.2331, 7.3606},
    {"Fribourg", 46.8065, 7.1620},
}};

/// The kinds generated in turn: the common ones, so that filters by kind and group pick parts.
inline constexpr std::array<ActivityType, 7> kGeneratedKinds{
    ActivityType::running,     ActivityType::cycling, ActivityType::walking,
    ActivityType::roadCycling, ActivityType::hiking,  ActivityType::mountainBiking,
    ActivityType::swimming};

/// The speed (m/s) and working heart rate of a kind, roughly: what sets the length of its
/// routes and the level of its heart rate.
struct KindPace {
    double speed;
    double heartRate;
};

inline KindPace paceOf(ActivityType kind) {
    switch (kind) {
        case ActivityType::running:
            return {3.2, 155};
        case ActivityType::cycling:
        case ActivityType::roadCycling:
            return {7.5, 135};
        case ActivityType::mountainBiking:
            return {4.5, 145};
        case ActivityType::hiking:
            return {1.2, 115};
        case ActivityType::swimming:
            return {0.9, 140};
        default:
            return {1.4, 100};
    }
}

/// A route of `count` points from `start` over `duration` seconds at about `speed`: a heading
/// that drifts, so that the line bends like a path does, with gentle hills.
inline std::vector<RoutePoint> generatedRoute(std::mt19937& random, const GeneratedPlace& place,
                                              int count, Date start, double duration,
                                              double speed) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    double latitude = place.latitude + 0.03 * unit(random);
    double longitude = place.longitude + 0.04 * unit(random);
    double heading = M_PI * unit(random);
    double altitude = 450 + 150 * unit(random);
    double step = duration / count;
    double metresPerDegree = 111'320.0;
    double longitudeScale = std::cos(latitude * M_PI / 180);
    std::vector<RoutePoint> route;
    route.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        route.push_back({Uuid::random(), {latitude, longitude}, altitude, start + i * step});
        heading += 0.25 * unit(random);
        double metres = speed * step * (0.8 + 0.2 * unit(random));
        latitude += metres * std::cos(heading) / metresPerDegree;
        longitude += metres * std::sin(heading) / (metresPerDegree * longitudeScale);
        altitude += 2.0 * unit(random);
    }
    return route;
}

inline std::vector<HeartRateSample> generatedHeartRate(std::mt19937& random,
                                                       const std::vector<RoutePoint>& route,
                                                       double working) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<HeartRateSample> samples;
    samples.reserve(route.size());
    double bpm = 85;
    for (const auto& point : route) {
        // Climbs from rest towards the kind's working rate, with some wobble.
        bpm += 0.08 * (working - bpm) + 2.0 * unit(random);
        samples.push_back({Uuid::random(), point.timestamp, std::round(bpm)});
    }
    return samples;
}

/// Fills a new store at `file` (or server URL) with `count` activities, one every few hours back
/// from the end of 2025 over `kGeneratedYears` years, in one save per few thousand records;
/// `withSeries` gives each a route and heart rate.
inline void generateHistoryStore(const std::filesystem::path& file, std::int64_t count,
                                 bool withSeries = false) {
    std::unique_ptr<RideStore> store = RideStore::open(file);
    Date end = startOfLocalYear(2026);
    double spacing = (end - startOfLocalYear(2026 - kGeneratedYears)) / static_cast<double>(count);
    std::mt19937 random(20260101);
    std::vector<RideRef> unsaved;
    for (std::int64_t i = 0; i < count; ++i) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = end - spacing * static_cast<double>(i + 1);
        ride->duration = 1200 + static_cast<double>(i % 97) * 30;
        ride->distance = 3000 + static_cast<double>(i % 89) * 100;
        ActivityType kind = kGeneratedKinds[static_cast<size_t>(i) % kGeneratedKinds.size()];
        ride->activityType = std::string(rawValue(kind));
        const auto& place = kGeneratedPlaces[static_cast<size_t>(i / 3) % kGeneratedPlaces.size()];
        // Every seventh activity is still waiting for its place to be found.
        if (i % 7 != 3) ride->city = place.name;
        if (withSeries) {
            KindPace pace = paceOf(kind);
            int points = 100 + static_cast<int>((i * 37) % 240);
            auto route =
                generatedRoute(random, place, points, ride->date, ride->duration, pace.speed);
            ride->distance = pace.speed * ride->duration;
            ride->elevationGain = 20 + static_cast<double>(i % 13) * 15;
            ride->setHeartRateSamples(generatedHeartRate(random, route, pace.heartRate));
            ride->setRoutePoints(route);
        }
        store->insert(ride);
        unsaved.push_back(std::move(ride));
        if (i % 2000 == 1999) {
            store->save();
            // Dropped once saved, so that the series of a long history never sit in memory.
            unsaved.clear();
        }
    }
    store->save();
}

/// The folder where generated histories are kept between runs.
inline std::filesystem::path benchStoreFolder() {
    const char* chosen = std::getenv("VANTREL_BENCH_STORES");
    return chosen && *chosen ? std::filesystem::path(chosen)
                             : std::filesystem::temp_directory_path() / "vantrel-bench-stores";
}

/// The SQLite history of `count` activities (with series or without) in `benchStoreFolder()`,
/// generated on first use under a temporary name and renamed once complete, so that an
/// interrupted run never leaves a half-made store for the next.
inline std::filesystem::path cachedHistoryStore(std::int64_t count, bool withSeries) {
    auto folder = benchStoreFolder();
    std::filesystem::create_directories(folder);
    auto file =
        folder / ("history-" + std::to_string(count) + (withSeries ? "-series" : "") + ".sqlite");
    if (std::filesystem::exists(file)) return file;
    auto partial = folder / (file.filename().string() + ".partial-" + std::to_string(getpid()));
    // Closing the store's last connection folds its write-ahead log into the file.
    generateHistoryStore(partial, count, withSeries);
    std::filesystem::rename(partial, file);
    return file;
}

}  // namespace vantrel::bench
