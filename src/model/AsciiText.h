#pragma once

#include <string>
#include <string_view>

namespace vantrel {

/// `text` with A to Z turned into a to z and every other byte left as it is, whatever the
/// process locale: file extensions and keywords are ASCII, and UTF-8 bytes must stay intact.
inline std::string asciiLowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace vantrel
