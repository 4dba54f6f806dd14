#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "model/PersistedRide.h"

namespace vantrel {

class RideStore;

/// The activities of one calendar year as an open sidebar section lists them. The list is
/// absent until the section is first opened; loading reads the records without their series,
/// which the detail view reads when it needs them.
class YearSection {
  public:
    YearSection(int year, std::int64_t count) : m_year(year), m_count(count) {}

    int year() const { return m_year; }
    std::int64_t count() const { return m_count; }
    bool isLoaded() const { return m_rides.has_value(); }
    /// Newest first; empty while not loaded or when the fetch failed.
    const std::vector<RideRef>& rides() const;
    void load(RideStore& store) { setRides(fetch(store, m_year)); }
    void setRides(std::vector<RideRef> rides) { m_rides = std::move(rides); }
    /// The year's live activities, newest first; empty when the fetch fails.
    static std::vector<RideRef> fetch(RideStore& store, int year);

  private:
    int m_year;
    std::int64_t m_count;
    std::optional<std::vector<RideRef>> m_rides;
};

}  // namespace vantrel
