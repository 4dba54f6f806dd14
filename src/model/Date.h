#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

/// An instant: seconds since 2001-01-01T00:00:00Z, exactly as the series JSON stores it.
using Date = double;

/// Seconds between 1970-01-01 and 2001-01-01.
inline constexpr double kUnixToReferenceOffset = 978307200.0;

inline Date dateFromUnix(double unixSeconds) {
    return unixSeconds - kUnixToReferenceOffset;
}
inline double unixFromDate(Date date) {
    return date + kUnixToReferenceOffset;
}

/// The current instant. Tests replace the clock with `setClockForTesting`.
Date now();
/// Replaces the clock; an empty function restores the system clock.
void setClockForTesting(std::function<Date()> clock);

/// Calendar year of an instant in the process's local time zone (TZ is honoured).
int localYear(Date date);
/// Start of 1 January of `year`, 00:00 local time.
Date startOfLocalYear(int year);

/// 0001-01-01T00:00:00Z and 10000-01-01T00:00:00Z: the instants with a four-digit year lie in
/// [kFirstFormattableDate, kEndOfFormattableDates).
inline constexpr Date kFirstFormattableDate = -63113904000.0;
inline constexpr Date kEndOfFormattableDates = 252423993600.0;

/// Whether `formatISO8601` can write the instant: finite and, with the fraction dropped, within
/// the years 0001 to 9999 in UTC. Stored values come from other devices and old archives, so
/// every writer of dates checks this rather than trusting them.
bool isFormattableISO8601(Date date);
/// "yyyy-MM-ddTHH:mm:ssZ" in UTC (fraction dropped, not rounded); empty when the instant is not
/// formattable (see `isFormattableISO8601`).
std::string formatISO8601(Date date);
/// "yyyy-MM-ddTHH:mm:ss.SSSZ" in UTC; empty when the instant, rounded to the millisecond, lies
/// outside the years 0001 to 9999 or is not finite.
std::string formatISO8601Milliseconds(Date date);
/// Formats in local time with a strftime pattern (used for file names and log stamps).
std::string formatLocal(Date date, const char* strftimePattern);

/// Reads "yyyy-MM-ddTHH:mm:ss" followed by "Z" or "+hh:mm"/"-hh:mm" (also "+hhmm"). With
/// `fractional` the seconds must carry a fraction (".S" to any digits), without it they must not.
/// Anything else (missing zone, spaces, other separators, out-of-range fields) is absent.
std::optional<Date> parseISO8601(std::string_view text, bool fractional);
/// Tries the whole-second form first, then the fractional one.
std::optional<Date> parseISO8601Either(std::string_view text);

}  // namespace vantrel
