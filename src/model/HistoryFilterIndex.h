#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/Cancellation.h"
#include "model/HistoryFilterText.h"

namespace vantrel {

class RideStore;

/// What the sidebar filter searches: per live activity its year and the folded text its row
/// shows, so that a key press scans one compact list instead of loading and formatting rows.
/// Built once per change of the store; searching is read-only and may run on any thread.
class HistoryFilterIndex {
  public:
    struct Result {
        std::map<int, std::int64_t> countsByYear;  ///< only years with a match
        std::unordered_set<std::int64_t> objectIDs;
    };

    HistoryFilterIndex() = default;
    explicit HistoryFilterIndex(HistoryFilterText::MonthNames months)
        : m_months(std::move(months)) {}

    /// Reads the live activities (without their series) a year at a time. Absent when
    /// `cancel` was set before it finished. Throws `StoreError` when the store cannot be read.
    static std::optional<HistoryFilterIndex> build(RideStore& store,
                                                   HistoryFilterText::MonthNames months,
                                                   const CancellationToken* cancel = nullptr);

    /// Adds an activity under the year whose section lists it.
    void add(const PersistedRide& ride, int year);
    std::size_t size() const { return m_entries.size(); }
    /// The activities matching every word of `filter`; absent when `cancel` was set first.
    std::optional<Result> search(std::string_view filter,
                                 const CancellationToken* cancel = nullptr) const;

  private:
    struct Entry {
        std::int64_t objectID;
        int year;
        std::string text;
    };
    HistoryFilterText::MonthNames m_months = HistoryFilterText::MonthNames::english();
    std::vector<Entry> m_entries;
};

}  // namespace vantrel
