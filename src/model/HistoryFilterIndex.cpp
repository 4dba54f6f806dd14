#include "model/HistoryFilterIndex.h"

#include "model/RideStore.h"

namespace vantrel {

namespace {
// How many entries a search scans between looks at its cancellation flag: often enough that a
// superseded search stops within a fraction of a millisecond.
constexpr std::size_t kCancelStride = 4096;
}  // namespace

std::optional<HistoryFilterIndex> HistoryFilterIndex::build(RideStore& store,
                                                            HistoryFilterText::MonthNames months,
                                                            const CancellationToken* cancel) {
    HistoryFilterIndex index(std::move(months));
    // A year at a time keeps only one year's records in memory while the index fills.
    for (const YearSummary& summary : store.yearSummaries()) {
        if (cancel && cancel->isCancelled()) return std::nullopt;
        for (const RideRef& ride : store.activitiesOfYear(summary.year, /*withDetails=*/false))
            index.add(*ride, summary.year);
    }
    return index;
}

void HistoryFilterIndex::add(const PersistedRide& ride, int year) {
    m_entries.push_back({ride.objectID, year, HistoryFilterText::searchText(ride, m_months)});
}

std::optional<HistoryFilterIndex::Result> HistoryFilterIndex::search(
    std::string_view filter, const CancellationToken* cancel) const {
    std::vector<std::string> words = HistoryFilterText::words(filter);
    Result result;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (i % kCancelStride == 0 && cancel && cancel->isCancelled()) return std::nullopt;
        const Entry& entry = m_entries[i];
        if (!HistoryFilterText::matches(entry.text, words)) continue;
        ++result.countsByYear[entry.year];
        result.objectIDs.insert(entry.objectID);
    }
    return result;
}

}  // namespace vantrel
