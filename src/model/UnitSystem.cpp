#include "model/UnitSystem.h"

#include <locale.h>

#include <cinttypes>
#include <clocale>
#include <cmath>
#include <cstdio>

#include "model/Preferences.h"

namespace vantrel {

namespace {

// A GUI toolkit adopts the user's number locale for the whole process, and printf would then
// write "1,2 km"; every figure is printed in the C locale on this thread instead.
locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

template <typename... Args>
std::string printed(const char* format, Args... args) {
    char buffer[512];
    locale_t previous = uselocale(cLocale());
    int length = std::snprintf(buffer, sizeof buffer, format, args...);
    uselocale(previous);
    if (length < 0) return {};
    return std::string(buffer,
                       std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

double feet(double metres) {
    return metres * kFeetPerMetre;
}

// Whole seconds, fraction dropped; values outside a 64-bit count have no meaningful text.
std::optional<std::int64_t> wholeSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) >= 9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

}  // namespace

std::string_view rawValue(UnitSystem system) {
    return system == UnitSystem::metric ? "metric" : "imperial";
}

UnitSystem unitSystemFromRawValue(const std::optional<std::string>& raw) {
    return raw && *raw == "metric" ? UnitSystem::metric : UnitSystem::imperial;
}

std::string_view settingsLabel(UnitSystem system) {
    return system == UnitSystem::metric ? "Metric (km, m, km/h)" : "Imperial (mi, ft, mph)";
}

UnitSystem currentUnitSystem(Preferences& preferences) {
    return unitSystemFromRawValue(preferences.string(kUnitSystemKey));
}

std::string formatDistance(double metres, UnitSystem system) {
    if (system == UnitSystem::metric) {
        if (metres / 1000.0 < 0.1) return printed("%.0f m", metres);
        return printed("%.1f km", metres / 1000.0);
    }
    if (metres / kMetresPerMile < 0.1) return printed("%.0f ft", feet(metres));
    return printed("%.1f mi", metres / kMetresPerMile);
}

std::string formatSpeed(double metresPerSecond, UnitSystem system) {
    if (system == UnitSystem::metric)
        return printed("%.1f km/h", metresPerSecond * kKmhPerMetrePerSecond);
    return printed("%.1f mph", metresPerSecond * kMphPerMetrePerSecond);
}

std::string formatTemperature(double celsius, UnitSystem system) {
    if (system == UnitSystem::metric) return printed("%.0f\u00B0C", celsius);
    return printed("%.0f\u00B0F", celsius * 9.0 / 5.0 + 32.0);
}

std::string formatDuration(double seconds) {
    auto s = wholeSeconds(seconds);
    if (!s) return "--:--";
    if (*s < 3600) return printed("%02" PRId64 ":%02" PRId64, (*s % 3600) / 60, *s % 60);
    return printed("%" PRId64 ":%02" PRId64 ":%02" PRId64, *s / 3600, (*s % 3600) / 60, *s % 60);
}

std::string formatPace(double seconds) {
    auto s = wholeSeconds(seconds);
    if (!s) return "--:--";
    return printed("%" PRId64 ":%02" PRId64, *s / 60, *s - 60 * (*s / 60));
}

std::string formatElevationGain(double metres, UnitSystem system) {
    if (system == UnitSystem::metric) return printed("+%.0f m", metres);
    return printed("+%.0f ft", feet(metres));
}

std::string formatElevationChange(double metres, UnitSystem system) {
    if (system == UnitSystem::metric) return printed("%+.0f m", metres);
    return printed("%+.0f ft", feet(metres));
}

std::string formatElevation(double metres, UnitSystem system) {
    if (system == UnitSystem::metric) return printed("%.0f m", metres);
    return printed("%.0f ft", feet(metres));
}

std::string formatWindSpeed(double kmh, UnitSystem system) {
    if (system == UnitSystem::metric) return printed("%.0f km/h", kmh);
    return printed("%.0f mph", kmh / kKmPerMile);
}

}  // namespace vantrel
