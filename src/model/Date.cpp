#include "model/Date.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

namespace vantrel {

namespace {

std::mutex& clockMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<Date()>& clockOverride() {
    static std::function<Date()> clock;
    return clock;
}

Date systemNow() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return dateFromUnix(std::chrono::duration<double>(since).count());
}

// Instants outside what time_t and struct tm can hold are clamped rather than overflowed.
std::time_t toTimeT(Date date) {
    double unix = std::floor(unixFromDate(date));
    if (!(unix > -1e15)) unix = -1e15;
    if (unix > 1e15) unix = 1e15;
    return static_cast<std::time_t>(unix);
}

std::tm localTm(Date date) {
    std::time_t t = toTimeT(date);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace

Date now() {
    std::lock_guard lock(clockMutex());
    return clockOverride() ? clockOverride()() : systemNow();
}

void setClockForTesting(std::function<Date()> clock) {
    std::lock_guard lock(clockMutex());
    clockOverride() = std::move(clock);
}

int localYear(Date date) {
    return localTm(date).tm_year + 1900;
}

Date startOfLocalYear(int year) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    return dateFromUnix(static_cast<double>(std::mktime(&tm)));
}

std::string formatLocal(Date date, const char* strftimePattern) {
    std::tm tm = localTm(date);
    char buffer[256];
    std::size_t length = std::strftime(buffer, sizeof buffer, strftimePattern, &tm);
    return std::string(buffer, length);
}

}  // namespace vantrel
