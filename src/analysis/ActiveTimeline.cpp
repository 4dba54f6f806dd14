#include "analysis/ActiveTimeline.h"

#include <algorithm>

namespace vantrel {

namespace {

bool isOrdered(const std::vector<RideAnalysis::Boundary>& boundaries) {
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        if (boundaries[i].end < boundaries[i].start) return false;
        if (i > 0 && !(boundaries[i - 1].end < boundaries[i].start)) return false;
    }
    return true;
}

}  // namespace

ActiveTimeline::ActiveTimeline(const std::vector<ActiveSegment>& segments)
    : m_boundaries(RideAnalysis::boundaries(segments)), m_ordered(isOrdered(m_boundaries)) {}

std::size_t ActiveTimeline::firstEndingAtOrAfter(Date date) const {
    auto found = std::lower_bound(
        m_boundaries.begin(), m_boundaries.end(), date,
        [](const RideAnalysis::Boundary& boundary, Date value) { return boundary.end < value; });
    return static_cast<std::size_t>(found - m_boundaries.begin());
}

std::optional<double> ActiveTimeline::offset(Date date) const {
    if (!m_ordered) return offsetByWalking(date);
    std::size_t k = firstEndingAtOrAfter(date);
    if (k == m_boundaries.size() || date < m_boundaries[k].start) return std::nullopt;
    return m_boundaries[k].activeStart + (date - m_boundaries[k].start);
}

std::optional<double> ActiveTimeline::snappedOffset(Date date) const {
    if (m_boundaries.empty()) return std::nullopt;
    if (!m_ordered) return snappedOffsetByWalking(date);
    std::size_t k = firstEndingAtOrAfter(date);
    if (k < m_boundaries.size() && m_boundaries[k].start <= date) {
        return m_boundaries[k].activeStart + (date - m_boundaries[k].start);
    }
    if (date < m_boundaries.front().start) return 0.0;
    if (k == m_boundaries.size()) return m_boundaries.back().activeEnd;
    return snapIntoPause(date, k);
}

double ActiveTimeline::snapIntoPause(Date date, std::size_t next) const {
    const auto& before = m_boundaries[next - 1];
    const auto& after = m_boundaries[next];
    if (date - before.end <= after.start - date) return before.activeEnd;
    return after.activeStart;
}

std::optional<double> ActiveTimeline::offsetByWalking(Date date) const {
    for (const auto& boundary : m_boundaries) {
        if (date < boundary.start) return std::nullopt;
        if (date <= boundary.end) return boundary.activeStart + (date - boundary.start);
    }
    return std::nullopt;
}

std::optional<double> ActiveTimeline::snappedOffsetByWalking(Date date) const {
    for (const auto& boundary : m_boundaries) {
        if (boundary.start <= date && date <= boundary.end) {
            return boundary.activeStart + (date - boundary.start);
        }
    }
    if (date < m_boundaries.front().start) return 0.0;
    if (date > m_boundaries.back().end) return m_boundaries.back().activeEnd;
    for (std::size_t i = 1; i < m_boundaries.size(); ++i) {
        if (date > m_boundaries[i - 1].end && date < m_boundaries[i].start) {
            return snapIntoPause(date, i);
        }
    }
    return std::nullopt;
}

}  // namespace vantrel
