#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

namespace vantrel {

/// Exact comparison with a literal. Its length is known when compiling, so the comparison is
/// inlined instead of calling memcmp once per element and name, which shows in profiles.
template <std::size_t N>
bool isName(std::string_view name, const char (&literal)[N]) {
    return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

/// The text without leading and trailing white space and line breaks (ASCII and the Unicode
/// space separators, NEL, LINE and PARAGRAPH SEPARATOR).
std::string_view trimmedXmlText(std::string_view text);

/// The whole text read as a finite floating-point number in the C locale ("." as the decimal
/// point, an optional sign and exponent). Empty text, white space, anything left over, or a
/// value that is infinite, NaN or out of range gives nothing.
std::optional<double> parseDecimal(std::string_view text);

}  // namespace vantrel
