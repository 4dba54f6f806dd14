// Statistics are sums over the record columns, so that a history of thousands of activities is
// summed without decoding one series. The calendar (weeks, months, daylight-saving days) is
// worked out here, in the local time zone, and handed to the database as a small table of
// period boundaries; one aggregate query then joins the records to it by date range, which the
// index on `date` answers period by period. Everything used is plain SQL that other databases
// speak as well (a temporary table, bound parameters, SUM/COUNT, CASE).

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <string>

#include "model/RideStore.h"
#include "model/StoreBackend.h"

namespace vantrel {

namespace {

// Activities dated centuries apart (a device with a wrong clock) would list every week in
// between; past this many years only the years that hold activities get periods.
constexpr int kMostContiguousYears = 200;

constexpr double kNoLowerBound = -std::numeric_limits<double>::infinity();
constexpr double kNoUpperBound = std::numeric_limits<double>::infinity();

/// The calls of one statistics request: the calendar is worked out here, the sums by the
/// database.
class StatisticsRun {
  public:
    StatisticsRun(StoreBackend& backend, const StatisticsQuery& query);

    std::vector<PeriodTotals> run();

  private:
    std::optional<Date> matchingDate(Date from, Date before, bool newest);
    std::vector<CalendarPeriod> periodsToList(Date first, Date last);
    std::vector<PeriodTotals> sumPeriods();

    StoreBackend& m_backend;
    const StatisticsQuery& m_query;
    std::vector<std::string> m_kinds;
    Date m_from;
    Date m_before;
};

StatisticsRun::StatisticsRun(StoreBackend& backend, const StatisticsQuery& query)
    : m_backend(backend),
      m_query(query),
      m_from(query.from.value_or(kNoLowerBound)),
      m_before(query.before.value_or(kNoUpperBound)) {
    for (auto kind : query.kinds) m_kinds.emplace_back(rawValue(kind));
}

// The first or last matching activity's date in [from, before), found through the date index.
std::optional<Date> StatisticsRun::matchingDate(Date from, Date before, bool newest) {
    return m_backend.edgeLiveDate(from, before, m_kinds, newest);
}

void appendPeriods(std::vector<CalendarPeriod>& periods, std::vector<CalendarPeriod> more) {
    for (auto& period : more) {
        // A week spanning New Year belongs to both of two neighbouring years.
        if (!periods.empty() && period.start < periods.back().end) continue;
        periods.push_back(std::move(period));
    }
}

std::vector<CalendarPeriod> StatisticsRun::periodsToList(Date first, Date last) {
    const auto period = m_query.period;
    Date afterLast = std::nextafter(last, kNoUpperBound);
    if (localYear(last) - localYear(first) < kMostContiguousYears)
        return localPeriods(period, first, afterLast);
    std::vector<CalendarPeriod> periods;
    std::optional<Date> next = first;
    while (next) {
        Date endOfYear = startOfLocalYear(localYear(*next) + 1);
        if (!(endOfYear > *next)) break;  // the calendar gives out
        auto lastInYear = matchingDate(*next, std::min(endOfYear, m_before), true);
        appendPeriods(
            periods,
            localPeriods(period, *next, std::nextafter(lastInYear.value_or(*next), kNoUpperBound)));
        next = matchingDate(endOfYear, m_before, false);
    }
    return periods;
}

std::vector<PeriodTotals> StatisticsRun::sumPeriods() {
    std::vector<PeriodTotals> totals;
    auto first = matchingDate(m_from, m_before, false);
    auto last = matchingDate(m_from, m_before, true);
    if (!first || !last) return totals;
    auto periods = periodsToList(*first, *last);
    std::vector<PeriodRange> ranges;
    ranges.reserve(periods.size());
    // The first and last periods count only what lies in the asked range.
    for (const auto& period : periods)
        ranges.push_back({std::max(period.start, m_from), std::min(period.end, m_before)});
    auto sums = m_backend.sumLiveInPeriods(ranges, m_kinds);
    totals.reserve(periods.size());
    for (std::size_t i = 0; i < periods.size(); ++i) {
        PeriodTotals total{std::move(periods[i])};
        if (i < sums.size()) {
            total.count = sums[i].count;
            total.distance = sums[i].distance;
            total.movingTime = sums[i].movingTime;
            total.elevationGain = sums[i].elevationGain;
        }
        totals.push_back(std::move(total));
    }
    return totals;
}

std::vector<PeriodTotals> StatisticsRun::run() {
    if (!(m_from < m_before)) return {};
    std::vector<PeriodTotals> totals;
    // One snapshot: another process may be importing while the totals are summed.
    m_backend.inReadSnapshot([&] { totals = sumPeriods(); });
    return totals;
}

int localDayOfYear(Date date) {
    std::time_t t = static_cast<std::time_t>(std::floor(unixFromDate(date)));
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_yday + 1;
}

int daysInYear(int year) {
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 366 : 365;
}

}  // namespace

std::vector<PeriodTotals> RideStore::statistics(const StatisticsQuery& query) {
    return StatisticsRun(backend(), query).run();
}

std::vector<YearToDateDistance> RideStore::yearToDateDistance(
    const std::vector<ActivityType>& kinds) {
    StatisticsQuery query;
    query.period = StatisticsPeriod::day;
    query.kinds = kinds;
    auto days = statistics(query);
    Date today = now();
    int thisYear = localYear(today);
    std::vector<YearToDateDistance> years;
    for (const auto& day : days) {
        if (day.count == 0) continue;
        if (years.empty() || years.back().year != day.period.year) {
            int length =
                day.period.year == thisYear ? localDayOfYear(today) : daysInYear(day.period.year);
            years.push_back(
                {day.period.year, std::vector<double>(static_cast<std::size_t>(length))});
        }
        auto& cumulative = years.back().cumulativeDistance;
        // An activity dated later this year (a wrong clock) still counts.
        auto index = static_cast<std::size_t>(std::max(day.period.number, 1) - 1);
        if (index >= cumulative.size()) cumulative.resize(index + 1);
        cumulative[index] += day.distance;
    }
    for (auto& year : years) {
        double running = 0;
        for (auto& value : year.cumulativeDistance) value = running += value;
    }
    return years;
}

}  // namespace vantrel
