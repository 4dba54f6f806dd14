#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "model/PersistedRide.h"

namespace vantrel {

/// The sidebar filter's matching rule, kept apart from any widget so that the list and its
/// search index answer alike. An activity matches when every word of the filter occurs,
/// ignoring case, somewhere in what its row shows: the kind's name, the stored kind, the place
/// and the date both as the list writes it ("Mar 14, 2025") and in long form ("March 14, 2025").
class HistoryFilterText {
  public:
    /// The month names the dates are written with (January first); the app passes its locale's.
    struct MonthNames {
        std::array<std::string, 12> shortNames;
        std::array<std::string, 12> longNames;
        static MonthNames english();
    };

    /// The filter's words: split at spaces, empty ones dropped, case folded.
    static std::vector<std::string> words(std::string_view filter);
    /// Everything a row shows that the filter looks at, case folded, in one string.
    static std::string searchText(const PersistedRide& ride, const MonthNames& months);
    /// Whether every word (as `words` gives them) occurs in the folded text.
    static bool matches(std::string_view foldedText, const std::vector<std::string>& words);
    /// UTF-8 with upper-case letters of the Latin, Greek and Cyrillic alphabets made lower case;
    /// any other byte is kept, so malformed text still compares byte for byte.
    static std::string fold(std::string_view text);
};

}  // namespace vantrel
