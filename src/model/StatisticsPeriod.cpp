#include "model/StatisticsPeriod.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace vantrel {

namespace {

using namespace std::chrono;

// The local calendar day of an instant; the C library's view of the local zone is the one that
// the year lists and file names use too.
year_month_day localDay(Date date) {
    std::time_t t = static_cast<std::time_t>(std::floor(unixFromDate(date)));
    std::tm tm{};
    localtime_r(&t, &tm);
    return year{tm.tm_year + 1900} / month{static_cast<unsigned>(tm.tm_mon + 1)} /
           day{static_cast<unsigned>(tm.tm_mday)};
}

Date localMidnight(const year_month_day& civil) {
    std::tm tm{};
    tm.tm_year = static_cast<int>(civil.year()) - 1900;
    tm.tm_mon = static_cast<int>(static_cast<unsigned>(civil.month())) - 1;
    tm.tm_mday = static_cast<int>(static_cast<unsigned>(civil.day()));
    tm.tm_isdst = -1;
    return dateFromUnix(static_cast<double>(std::mktime(&tm)));
}

year_month_day firstDayOfPeriod(StatisticsPeriod period, const year_month_day& civil) {
    switch (period) {
        case StatisticsPeriod::day:
            return civil;
        case StatisticsPeriod::week: {
            sys_days days{civil};
            auto sinceMonday = (weekday{days} - Monday).count();
            return year_month_day{days - ::std::chrono::days{sinceMonday}};
        }
        case StatisticsPeriod::month:
            return civil.year() / civil.month() / 1;
        case StatisticsPeriod::year:
            return civil.year() / January / 1;
    }
    return civil;
}

year_month_day nextPeriod(StatisticsPeriod period, const year_month_day& first) {
    switch (period) {
        case StatisticsPeriod::day:
            return year_month_day{sys_days{first} + ::std::chrono::days{1}};
        case StatisticsPeriod::week:
            return year_month_day{sys_days{first} + ::std::chrono::days{7}};
        case StatisticsPeriod::month:
            return first + months{1};
        case StatisticsPeriod::year:
            return first + years{1};
    }
    return first;
}

int dayOfYear(const year_month_day& civil) {
    return static_cast<int>((sys_days{civil} - sys_days{civil.year() / January / 1}).count()) + 1;
}

// ISO 8601: a week belongs to the year of its Thursday.
void setWeekNumber(const year_month_day& monday, CalendarPeriod& target) {
    year_month_day thursday{sys_days{monday} + ::std::chrono::days{3}};
    target.year = static_cast<int>(thursday.year());
    target.number = (dayOfYear(thursday) - 1) / 7 + 1;
}

CalendarPeriod describe(StatisticsPeriod period, const year_month_day& first) {
    CalendarPeriod described;
    described.year = static_cast<int>(first.year());
    auto monthNumber = static_cast<int>(static_cast<unsigned>(first.month()));
    char label[32];
    switch (period) {
        case StatisticsPeriod::day:
            described.number = dayOfYear(first);
            std::snprintf(label, sizeof label, "%04d-%02d-%02d", described.year, monthNumber,
                          static_cast<int>(static_cast<unsigned>(first.day())));
            break;
        case StatisticsPeriod::week:
            setWeekNumber(first, described);
            std::snprintf(label, sizeof label, "%04d-W%02d", described.year, described.number);
            break;
        case StatisticsPeriod::month:
            described.number = monthNumber;
            std::snprintf(label, sizeof label, "%04d-%02d", described.year, monthNumber);
            break;
        case StatisticsPeriod::year:
            described.number = 1;
            std::snprintf(label, sizeof label, "%04d", described.year);
            break;
    }
    described.label = label;
    return described;
}

}  // namespace

std::string_view rawValue(StatisticsPeriod period) {
    switch (period) {
        case StatisticsPeriod::day:
            return "day";
        case StatisticsPeriod::week:
            return "week";
        case StatisticsPeriod::month:
            return "month";
        case StatisticsPeriod::year:
            return "year";
    }
    return {};
}

std::optional<StatisticsPeriod> statisticsPeriodFromRawValue(std::string_view raw) {
    for (auto period : {StatisticsPeriod::day, StatisticsPeriod::week, StatisticsPeriod::month,
                        StatisticsPeriod::year}) {
        if (rawValue(period) == raw) return period;
    }
    return std::nullopt;
}

std::optional<Date> startOfLocalDay(int yearNumber, int monthNumber, int dayNumber) {
    if (monthNumber < 1 || dayNumber < 1) return std::nullopt;
    year_month_day civil{year{yearNumber}, month{static_cast<unsigned>(monthNumber)},
                         day{static_cast<unsigned>(dayNumber)}};
    if (!civil.ok()) return std::nullopt;
    return localMidnight(civil);
}

std::vector<CalendarPeriod> localPeriods(StatisticsPeriod period, Date from, Date before) {
    std::vector<CalendarPeriod> periods;
    // Beyond the four-digit years the calendar (and time_t on some systems) gives out.
    if (!(from >= kFirstFormattableDate) || !(before <= kEndOfFormattableDates) || !(from < before))
        return periods;
    year_month_day first = firstDayOfPeriod(period, localDay(from));
    Date start = localMidnight(first);
    while (start < before) {
        year_month_day next = nextPeriod(period, first);
        Date end = localMidnight(next);
        if (!(end > start)) break;  // the C library could not place the day
        CalendarPeriod described = describe(period, first);
        described.start = start;
        described.end = end;
        if (end > from) periods.push_back(std::move(described));
        first = next;
        start = end;
    }
    return periods;
}

}  // namespace vantrel
