#include "import/XmlText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace vantrel {

namespace {

bool isAsciiSpace(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

// UTF-8 forms of the non-ASCII white space and line-break characters.
constexpr std::array<std::string_view, 19> kUnicodeSpaces = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81",
    "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86",
    "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8",
    "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80",
};

std::size_t leadingSpaceLength(std::string_view text) {
    if (text.empty()) return 0;
    auto first = static_cast<unsigned char>(text.front());
    if (isAsciiSpace(first)) return 1;
    // Every non-ASCII space starts with 0xC2, 0xE1, 0xE2 or 0xE3; checking that first keeps
    // the common case (a digit or letter) from testing all of them.
    if (first != 0xC2 && (first < 0xE1 || first > 0xE3)) return 0;
    for (auto space : kUnicodeSpaces) {
        if (text.starts_with(space)) return space.size();
    }
    return 0;
}

std::size_t trailingSpaceLength(std::string_view text) {
    if (text.empty()) return 0;
    auto last = static_cast<unsigned char>(text.back());
    if (isAsciiSpace(last)) return 1;
    if (last < 0x80) return 0;  // Non-ASCII spaces end in a continuation byte.
    for (auto space : kUnicodeSpaces) {
        if (text.ends_with(space)) return space.size();
    }
    return 0;
}

}  // namespace

std::string_view trimmedXmlText(std::string_view text) {
    while (std::size_t n = leadingSpaceLength(text)) text.remove_prefix(n);
    while (std::size_t n = trailingSpaceLength(text)) text.remove_suffix(n);
    return text;
}

std::optional<double> parseDecimal(std::string_view text) {
    // from_chars takes no leading "+", which the C library's reading accepts.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace vantrel
