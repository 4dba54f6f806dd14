#pragma once

// A store of many short activities spread over years, kinds and places, for timing what
// walks a whole history. Records carry no series: only what lists and filters read.

#include <array>
#include <cstdint>
#include <filesystem>

#include "model/ActivityType.h"
#include "model/RideStore.h"

namespace vantrel::bench {

inline constexpr int kGeneratedYears = 15;

/// Fills a new store at `file` with `count` activities, one every few hours back from the end
/// of 2025 over `kGeneratedYears` years, in one save per few thousand records.
inline void generateHistoryStore(const std::filesystem::path& file, std::int64_t count) {
    static constexpr std::array<const char*, 12> kPlaces{
        "Zürich", "Bern", "Basel",  "Lausanne",   "Genève", "Luzern",
        "Thun",   "Chur", "Lugano", "St. Gallen", "Sion",   "Fribourg"};
    const auto& kinds = allActivityTypes();
    std::unique_ptr<RideStore> store = RideStore::open(file);
    Date end = startOfLocalYear(2026);
    double spacing = (end - startOfLocalYear(2026 - kGeneratedYears)) / static_cast<double>(count);
    for (std::int64_t i = 0; i < count; ++i) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = end - spacing * static_cast<double>(i + 1);
        ride->duration = 1200 + static_cast<double>(i % 97) * 30;
        ride->distance = 3000 + static_cast<double>(i % 89) * 100;
        ride->activityType = std::string(rawValue(kinds[static_cast<size_t>(i) % 7]));
        // Every seventh activity is still waiting for its place to be found.
        if (i % 7 != 3) ride->city = kPlaces[static_cast<size_t>(i / 3) % kPlaces.size()];
        store->insert(ride);
        if (i % 5000 == 4999) store->save();
    }
    store->save();
}

}  // namespace vantrel::bench
