#pragma once

#include <optional>
#include <string_view>

namespace vantrel {

/// The text without leading and trailing white space and line breaks (ASCII and the Unicode
/// space separators, NEL, LINE and PARAGRAPH SEPARATOR).
std::string_view trimmedXmlText(std::string_view text);

/// The whole text read as a finite floating-point number in the C locale ("." as the decimal
/// point, an optional sign and exponent). Empty text, white space, anything left over, or a
/// value that is infinite, NaN or out of range gives nothing.
std::optional<double> parseDecimal(std::string_view text);

}  // namespace vantrel
