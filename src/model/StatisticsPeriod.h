#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Date.h"

namespace vantrel {

/// The calendar unit that statistics are summed over, in the process's local time zone.
/// Weeks are ISO weeks: Monday to Sunday, numbered within their ISO week-year.
enum class StatisticsPeriod { day, week, month, year };

/// "day", "week", "month", "year".
std::string_view rawValue(StatisticsPeriod period);
std::optional<StatisticsPeriod> statisticsPeriodFromRawValue(std::string_view raw);

/// One period of the local calendar: from its first local midnight to the next period's.
/// Around a daylight-saving switch a day lasts 23 or 25 hours, and weeks and months with it.
struct CalendarPeriod {
    Date start = 0;
    Date end = 0;
    /// The calendar year, or the ISO week-year for weeks (1 January may lie in week 52 or 53
    /// of the year before).
    int year = 0;
    /// Day of the year (1-366), ISO week (1-53), month (1-12), or 1 for a year.
    int number = 0;
    /// "2026-03-05", "2026-W09", "2026-03", "2026".
    std::string label;
};

/// Local midnight at the start of a calendar day; absent when the day does not exist.
/// Where midnight itself is skipped by a clock change the day starts at the first instant
/// after it, as the C library resolves it.
std::optional<Date> startOfLocalDay(int year, int month, int day);

/// The periods that overlap [from, before), in order, the first one starting at or before
/// `from`. Empty when the range is empty or not finite.
std::vector<CalendarPeriod> localPeriods(StatisticsPeriod period, Date from, Date before);

}  // namespace vantrel
