#include "services/ExifFieldText.h"

#include <charconv>
#include <vector>

namespace vantrel {

namespace {

// Splits off the last ", "-separated item of `text`, returning it and shortening `text`.
std::optional<std::string_view> popLastItem(std::string_view& text) {
    auto comma = text.rfind(", ");
    if (comma == std::string_view::npos) return std::nullopt;
    auto item = text.substr(comma + 2);
    text = text.substr(0, comma);
    return item;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::optional<double> parseRational(std::string_view text) {
    auto slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    unsigned long long numerator = 0;
    unsigned long long denominator = 0;
    auto numEnd = text.data() + slash;
    auto [p1, e1] = std::from_chars(text.data(), numEnd, numerator);
    auto denStart = numEnd + 1;
    auto denEnd = text.data() + text.size();
    auto [p2, e2] = std::from_chars(denStart, denEnd, denominator);
    if (e1 != std::errc() || p1 != numEnd || e2 != std::errc() || p2 != denEnd) return std::nullopt;
    if (denominator == 0) return std::nullopt;
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> result;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find(' ', start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

}  // namespace

std::optional<ExifFieldText> ExifFieldText::parse(std::string_view text) {
    if (!endsWith(text, " bytes)")) return std::nullopt;
    text.remove_suffix(1);
    auto bytes = popLastItem(text);
    auto components = popLastItem(text);
    auto format = popLastItem(text);
    if (!bytes || !components || !format || !endsWith(*components, " components")) {
        return std::nullopt;
    }
    auto open = text.find(" (");
    if (open == std::string_view::npos) return std::nullopt;
    return ExifFieldText{std::string(text.substr(0, open)), std::string(*format)};
}

std::optional<std::string> ExifFieldText::ascii() const {
    if (format != "ASCII") return std::nullopt;
    return raw;
}

std::optional<double> ExifFieldText::degrees() const {
    if (format != "Rational") return std::nullopt;
    auto parts = words(raw);
    if (parts.empty() || parts.size() > 3) return std::nullopt;
    double value = 0;
    double scale = 1;
    for (auto part : parts) {
        auto number = parseRational(part);
        if (!number) return std::nullopt;
        value += *number / scale;
        scale *= 60;
    }
    return value;
}

}  // namespace vantrel
