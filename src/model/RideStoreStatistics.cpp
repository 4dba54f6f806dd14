// Statistics are sums over the record columns, so that a history of thousands of activities is
// summed without decoding one series. The calendar (weeks, months, daylight-saving days) is
// worked out here, in the local time zone, and handed to the database as a small table of
// period boundaries; one aggregate query then joins the records to it by date range, which the
// index on `date` answers period by period. Everything used is plain SQL that other databases
// speak as well (a temporary table, bound parameters, SUM/COUNT, CASE).

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <string>

#include "model/RideStore.h"

namespace vantrel {

namespace {

// Activities dated centuries apart (a device with a wrong clock) would list every week in
// between; past this many years only the years that hold activities get periods.
constexpr int kMostContiguousYears = 200;

constexpr double kNoLowerBound = -std::numeric_limits<double>::infinity();
constexpr double kNoUpperBound = std::numeric_limits<double>::infinity();

/// One statement, finalized when it goes out of scope.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_statement != nullptr; }
    sqlite3_stmt* get() const { return m_statement; }

  private:
    sqlite3_stmt* m_statement = nullptr;
};

/// The calls of one statistics request on one connection: a read snapshot of the records and
/// the scratch table of period boundaries.
class StatisticsRun {
  public:
    StatisticsRun(const RideStore& store, sqlite3* db, const StatisticsQuery& query);
    ~StatisticsRun();
    StatisticsRun(const StatisticsRun&) = delete;
    StatisticsRun& operator=(const StatisticsRun&) = delete;

    std::vector<PeriodTotals> run();

  private:
    [[noreturn]] void fail() const;
    void execute(const char* sql);
    std::string kindCondition(int firstIndex) const;
    void bindKinds(sqlite3_stmt* statement, int firstIndex) const;
    std::optional<Date> matchingDate(Date from, Date before, bool newest);
    std::vector<CalendarPeriod> periodsToList(Date first, Date last);
    void fillPeriodTable(const std::vector<CalendarPeriod>& periods);
    void sumPeriods(std::vector<PeriodTotals>& totals);

    const RideStore& m_store;
    sqlite3* m_db;
    const StatisticsQuery& m_query;
    Date m_from;
    Date m_before;
    bool m_inTransaction = false;
};

StatisticsRun::StatisticsRun(const RideStore& store, sqlite3* db, const StatisticsQuery& query)
    : m_store(store),
      m_db(db),
      m_query(query),
      m_from(query.from.value_or(kNoLowerBound)),
      m_before(query.before.value_or(kNoUpperBound)) {}

StatisticsRun::~StatisticsRun() {
    if (m_inTransaction) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void StatisticsRun::fail() const {
    throw StoreError("Store " + m_store.path().string() + ": cannot read (" + sqlite3_errmsg(m_db) +
                     ")");
}

void StatisticsRun::execute(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail();
}

std::string StatisticsRun::kindCondition(int firstIndex) const {
    if (m_query.kinds.empty()) return "";
    std::string sql = " AND activityType IN (";
    for (std::size_t i = 0; i < m_query.kinds.size(); ++i)
        sql += (i ? ", ?" : "?") + std::to_string(firstIndex + static_cast<int>(i));
    return sql + ")";
}

void StatisticsRun::bindKinds(sqlite3_stmt* statement, int firstIndex) const {
    for (std::size_t i = 0; i < m_query.kinds.size(); ++i) {
        auto raw = rawValue(m_query.kinds[i]);
        sqlite3_bind_text(statement, firstIndex + static_cast<int>(i), raw.data(),
                          static_cast<int>(raw.size()), SQLITE_STATIC);
    }
}

// The first or last matching activity's date in [from, before), found through the date index.
std::optional<Date> StatisticsRun::matchingDate(Date from, Date before, bool newest) {
    Statement statement(m_db, std::string("SELECT date FROM PersistedRide WHERE deletedAt IS NULL"
                                          " AND date >= ?1 AND date < ?2") +
                                  kindCondition(3) + " ORDER BY date " + (newest ? "DESC" : "ASC") +
                                  " LIMIT 1");
    if (!statement.ok()) fail();
    sqlite3_bind_double(statement.get(), 1, from);
    sqlite3_bind_double(statement.get(), 2, before);
    bindKinds(statement.get(), 3);
    int status = sqlite3_step(statement.get());
    if (status == SQLITE_ROW) return sqlite3_column_double(statement.get(), 0);
    if (status != SQLITE_DONE) fail();
    return std::nullopt;
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

void StatisticsRun::fillPeriodTable(const std::vector<CalendarPeriod>& periods) {
    execute(
        "CREATE TEMPORARY TABLE IF NOT EXISTS StatisticsPeriod"
        " (idx INTEGER PRIMARY KEY, periodStart REAL NOT NULL, periodEnd REAL NOT NULL)");
    execute("DELETE FROM StatisticsPeriod");
    Statement insert(
        m_db, "INSERT INTO StatisticsPeriod (idx, periodStart, periodEnd) VALUES (?1, ?2, ?3)");
    if (!insert.ok()) fail();
    for (std::size_t i = 0; i < periods.size(); ++i) {
        // The first and last periods count only what lies in the asked range.
        sqlite3_bind_int64(insert.get(), 1, static_cast<sqlite3_int64>(i));
        sqlite3_bind_double(insert.get(), 2, std::max(periods[i].start, m_from));
        sqlite3_bind_double(insert.get(), 3, std::min(periods[i].end, m_before));
        if (sqlite3_step(insert.get()) != SQLITE_DONE) fail();
        sqlite3_reset(insert.get());
    }
}

void StatisticsRun::sumPeriods(std::vector<PeriodTotals>& totals) {
    Statement sum(m_db,
                  "SELECT p.idx, COUNT(*), SUM(r.distance),"
                  " SUM(CASE WHEN r.activeTime = 0 THEN r.duration ELSE r.activeTime END),"
                  " SUM(r.elevationGain)"
                  " FROM StatisticsPeriod p JOIN PersistedRide r"
                  " ON r.date >= p.periodStart AND r.date < p.periodEnd"
                  " WHERE r.deletedAt IS NULL" +
                      kindCondition(1) + " GROUP BY p.idx");
    if (!sum.ok()) fail();
    bindKinds(sum.get(), 1);
    int status;
    while ((status = sqlite3_step(sum.get())) == SQLITE_ROW) {
        auto index = sqlite3_column_int64(sum.get(), 0);
        if (index < 0 || static_cast<std::size_t>(index) >= totals.size()) continue;
        auto& target = totals[static_cast<std::size_t>(index)];
        target.count = sqlite3_column_int64(sum.get(), 1);
        target.distance = sqlite3_column_double(sum.get(), 2);
        target.movingTime = sqlite3_column_double(sum.get(), 3);
        target.elevationGain = sqlite3_column_double(sum.get(), 4);
    }
    if (status != SQLITE_DONE) fail();
}

std::vector<PeriodTotals> StatisticsRun::run() {
    if (!(m_from < m_before)) return {};
    // One snapshot: another process may be importing while the totals are summed.
    execute("BEGIN");
    m_inTransaction = true;
    std::vector<PeriodTotals> totals;
    auto first = matchingDate(m_from, m_before, false);
    auto last = matchingDate(m_from, m_before, true);
    if (first && last) {
        auto periods = periodsToList(*first, *last);
        fillPeriodTable(periods);
        totals.reserve(periods.size());
        for (auto& period : periods) totals.push_back({std::move(period)});
        sumPeriods(totals);
        execute("DELETE FROM StatisticsPeriod");
    }
    execute("COMMIT");
    m_inTransaction = false;
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
    return StatisticsRun(*this, connection(), query).run();
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
