#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model/ActivityType.h"
#include "model/StatisticsPeriod.h"

namespace vantrel {

/// Which activities statistics sum, and over what.
struct StatisticsQuery {
    StatisticsPeriod period = StatisticsPeriod::month;
    /// Only these kinds; empty means every activity, including those without a kind.
    std::vector<ActivityType> kinds;
    std::optional<Date> from;    ///< `date` >= from
    std::optional<Date> before;  ///< `date` < before
};

/// The totals of one period. Activities without a moving time count with their duration.
struct PeriodTotals {
    CalendarPeriod period;
    std::int64_t count = 0;
    double distance = 0;       ///< metres
    double movingTime = 0;     ///< seconds
    double elevationGain = 0;  ///< metres
};

/// One year's running distance total: `cumulativeDistance[i]` is the distance covered from
/// 1 January up to the end of day i + 1 of that year (local time). The current year stops at
/// today; earlier years run to 31 December.
struct YearToDateDistance {
    int year = 0;
    std::vector<double> cumulativeDistance;
};

}  // namespace vantrel
