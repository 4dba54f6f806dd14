#include "model/HistoryFilterText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "model/ActivityType.h"

namespace vantrel {

namespace {

// Place names are what needs folding beyond ASCII; the alphabets they use have simple
// one-to-one lower cases, so a few ranges cover them without a Unicode library.
char32_t lowerOf(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;  // Latin-1, not ×
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0) return c + 1;  // Latin Extended-A
    if (c >= 0x139 && c <= 0x148 && c % 2 == 1) return c + 1;
    if (c >= 0x14A && c <= 0x177 && c % 2 == 0) return c + 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E && c % 2 == 1) return c + 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The date as the list writes it, in local time; nothing for an instant no calendar holds.
void appendDates(std::string& out, Date date, const HistoryFilterText::MonthNames& months) {
    double unix = unixFromDate(date);
    if (!std::isfinite(unix) || std::abs(unix) > 1e14) return;
    auto seconds = static_cast<std::time_t>(std::floor(unix));
    std::tm tm{};
    if (!localtime_r(&seconds, &tm) || tm.tm_mon < 0 || tm.tm_mon > 11) return;
    char dayAndYear[32];
    std::snprintf(dayAndYear, sizeof dayAndYear, " %d, %04d", tm.tm_mday, tm.tm_year + 1900);
    auto month = static_cast<size_t>(tm.tm_mon);
    out += ' ';
    out += months.shortNames[month];
    out += dayAndYear;
    out += ' ';
    out += months.longNames[month];
    out += dayAndYear;
}

}  // namespace

HistoryFilterText::MonthNames HistoryFilterText::MonthNames::english() {
    return {{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
            {"January", "February", "March", "April", "May", "June", "July", "August", "September",
             "October", "November", "December"}};
}

std::vector<std::string> HistoryFilterText::words(std::string_view filter) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t end = filter.find(' ', start);
        if (end == std::string_view::npos) end = filter.size();
        if (end > start) result.push_back(fold(filter.substr(start, end - start)));
        start = end + 1;
    }
    return result;
}

std::string HistoryFilterText::searchText(const PersistedRide& ride, const MonthNames& months) {
    std::string text;
    if (auto type = ride.resolvedActivityType()) text += displayName(*type);
    appendDates(text, ride.date, months);
    if (ride.activityType) text += ' ' + *ride.activityType;
    if (ride.city) text += ' ' + *ride.city;
    return fold(text);
}

bool HistoryFilterText::matches(std::string_view foldedText,
                                const std::vector<std::string>& words) {
    return std::all_of(words.begin(), words.end(), [foldedText](const std::string& word) {
        return foldedText.find(word) != std::string_view::npos;
    });
}

std::string HistoryFilterText::fold(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += static_cast<char>(lowerOf(byte));
            ++i;
            continue;
        }
        // Only well-formed two-byte sequences hold letters that fold; the rest is copied.
        if ((byte & 0xE0) == 0xC0 && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            char32_t c = (static_cast<char32_t>(byte & 0x1F) << 6) |
                         (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            if (c >= 0x80) {
                appendUtf8(out, lowerOf(c));
                i += 2;
                continue;
            }
        }
        out += text[i];
        ++i;
    }
    return out;
}

}  // namespace vantrel
