#include "archive/ArchiveError.h"

#include <algorithm>
#include <charconv>

namespace vantrel {

namespace {

/// Long or binary values would make an unreadable alert; the start identifies them well enough.
std::string quotedExcerpt(const std::string& value) {
    constexpr std::size_t kMaximum = 40;
    std::size_t cut = std::min(value.size(), kMaximum);
    while (cut < value.size() && cut > 0 &&
           (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    std::string excerpt;
    for (char c : value.substr(0, cut)) {
        excerpt += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    }
    return "\"" + excerpt + (cut < value.size() ? "…\"" : "\"");
}

/// Shortest text, also for NaN and infinities ("nan", "inf", "-inf").
std::string numberText(double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

ArchiveError ArchiveError::invalidNumber(const std::string& path, double value) {
    return {Kind::invalidNumber, path,
            "Unable to encode the value " + numberText(value) + " of \"" + path + "\" in JSON."};
}

ArchiveError ArchiveError::dataCorrupted(const std::string& detail, const std::string& path) {
    std::string where = path.empty() ? "" : " at \"" + path + "\"";
    return {Kind::dataCorrupted, path, "The data isn't valid JSON" + where + ": " + detail};
}

ArchiveError ArchiveError::keyNotFound(const std::string& path) {
    return {Kind::keyNotFound, path, "The required key \"" + path + "\" is missing."};
}

ArchiveError ArchiveError::typeMismatch(const std::string& path, const std::string& expected,
                                        const std::string& found) {
    std::string where = path.empty() ? " at the top level" : " for \"" + path + "\"";
    return {Kind::typeMismatch, path,
            "Expected " + expected + where + " but found " + found + " instead."};
}

ArchiveError ArchiveError::invalidValue(const std::string& path, const std::string& value,
                                        const std::string& expected) {
    return {Kind::invalidValue, path,
            "The value " + quotedExcerpt(value) + " of \"" + path + "\" is not " + expected + "."};
}

ArchiveError ArchiveError::duplicateKey(const std::string& path, const std::string& key) {
    if (path.empty()) {
        return {Kind::duplicateKey, path,
                "The key " + quotedExcerpt(key) + " appears twice at the top level"};
    }
    return {Kind::duplicateKey, path, path + ": the key " + quotedExcerpt(key) + " appears twice"};
}

}  // namespace vantrel
