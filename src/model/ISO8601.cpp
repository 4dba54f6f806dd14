#include <cmath>
#include <cstdint>
#include <cstdio>

#include "model/Date.h"

namespace vantrel {

namespace {

struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

CivilTime civilFromUnixSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    CivilTime t;
    t.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
    t.month = static_cast<int>(m);
    t.day = static_cast<int>(d);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `count` ASCII digits at `pos`, advancing it.
bool readDigits(std::string_view text, std::size_t& pos, std::size_t count, int& value) {
    if (pos + count > text.size()) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

bool readCivilTime(std::string_view text, std::size_t& pos, CivilTime& t) {
    return readDigits(text, pos, 4, t.year) && expect(text, pos, '-') &&
           readDigits(text, pos, 2, t.month) && expect(text, pos, '-') &&
           readDigits(text, pos, 2, t.day) && expect(text, pos, 'T') &&
           readDigits(text, pos, 2, t.hour) && expect(text, pos, ':') &&
           readDigits(text, pos, 2, t.minute) && expect(text, pos, ':') &&
           readDigits(text, pos, 2, t.second);
}

bool isValid(const CivilTime& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= daysInMonth(t.year, t.month) &&
           t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

// One or more digits after the decimal point, as a fraction of a second.
bool readFraction(std::string_view text, std::size_t& pos, double& fraction) {
    if (!expect(text, pos, '.')) return false;
    std::size_t start = pos;
    double scale = 0.1;
    fraction = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        fraction += (text[pos] - '0') * scale;
        scale /= 10;
        ++pos;
    }
    return pos > start;
}

// "Z", "+hh:mm", "-hh:mm" or "+hhmm"/"-hhmm" ending the text; the offset in seconds east of UTC.
bool readZone(std::string_view text, std::size_t pos, int& offsetSeconds) {
    if (pos < text.size() && text[pos] == 'Z') {
        offsetSeconds = 0;
        return pos + 1 == text.size();
    }
    if (pos >= text.size() || (text[pos] != '+' && text[pos] != '-')) return false;
    int sign = text[pos] == '-' ? -1 : 1;
    ++pos;
    int hours = 0;
    int minutes = 0;
    if (!readDigits(text, pos, 2, hours)) return false;
    if (pos < text.size() && text[pos] == ':') ++pos;
    if (!readDigits(text, pos, 2, minutes) || pos != text.size()) return false;
    if (hours > 23 || minutes > 59) return false;
    offsetSeconds = sign * (hours * 3600 + minutes * 60);
    return true;
}

}  // namespace

namespace {

// The rest of a stamp whose date and time of day were read up to `pos`.
std::optional<Date> finishStamp(std::string_view text, std::size_t pos, const CivilTime& t,
                                bool fractional) {
    if (!isValid(t)) return std::nullopt;
    double fraction = 0;
    if (fractional && !readFraction(text, pos, fraction)) return std::nullopt;
    int offsetSeconds = 0;
    if (!readZone(text, pos, offsetSeconds)) return std::nullopt;
    std::int64_t days =
        daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    std::int64_t unixSeconds = days * 86400 + std::int64_t{t.hour} * 3600 +
                               std::int64_t{t.minute} * 60 + t.second - offsetSeconds;
    // Whole seconds are shifted to the reference epoch first so the fraction keeps its precision.
    Date date =
        static_cast<double>(unixSeconds - static_cast<std::int64_t>(kUnixToReferenceOffset)) +
        fraction;
    // What is read must be writable again: year 0000, or a zone offset that leaves the years
    // 0001 to 9999, gives an instant no exported file could hold.
    if (!isFormattableISO8601(date)) return std::nullopt;
    return date;
}

}  // namespace

std::optional<Date> parseISO8601(std::string_view text, bool fractional) {
    std::size_t pos = 0;
    CivilTime t;
    if (!readCivilTime(text, pos, t)) return std::nullopt;
    return finishStamp(text, pos, t, fractional);
}

std::optional<Date> parseISO8601Either(std::string_view text) {
    // Read once, taking the fraction when one follows, rather than trying each form in turn.
    std::size_t pos = 0;
    CivilTime t;
    if (!readCivilTime(text, pos, t)) return std::nullopt;
    return finishStamp(text, pos, t, pos < text.size() && text[pos] == '.');
}

namespace {

std::string formatCivil(const CivilTime& t, int milliseconds) {
    char buffer[40];
    if (milliseconds < 0) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month,
                      t.day, t.hour, t.minute, t.second);
    } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month,
                      t.day, t.hour, t.minute, t.second, milliseconds);
    }
    return buffer;
}

}  // namespace

// Every instant in between has a four-digit year, which is all the ISO 8601 text of the archive
// and GPX can carry.
constexpr double kFirstFormattable = kFirstFormattableDate;
constexpr double kEndOfFormattable = kEndOfFormattableDates;

bool isFormattableISO8601(Date date) {
    double whole = std::floor(date);
    return whole >= kFirstFormattable && whole < kEndOfFormattable;  // false for NaN too
}

std::string formatISO8601(Date date) {
    if (!isFormattableISO8601(date)) return {};
    auto seconds = static_cast<std::int64_t>(std::floor(date)) +
                   static_cast<std::int64_t>(kUnixToReferenceOffset);
    return formatCivil(civilFromUnixSeconds(seconds), -1);
}

std::string formatISO8601Milliseconds(Date date) {
    // Checked before the conversion to an integer, which would be undefined for huge values.
    if (!(date >= kFirstFormattable - 1 && date < kEndOfFormattable + 1)) return {};
    // Rounded to the millisecond: binary doubles rarely hold a decimal fraction exactly.
    auto millis = static_cast<std::int64_t>(std::llround(date * 1000.0)) +
                  static_cast<std::int64_t>(kUnixToReferenceOffset) * 1000;
    std::int64_t seconds = millis / 1000;
    std::int64_t rest = millis % 1000;
    if (rest < 0) {
        rest += 1000;
        seconds -= 1;
    }
    double reference = static_cast<double>(seconds) - kUnixToReferenceOffset;
    if (!(reference >= kFirstFormattable && reference < kEndOfFormattable)) return {};
    return formatCivil(civilFromUnixSeconds(seconds), static_cast<int>(rest));
}

}  // namespace vantrel
