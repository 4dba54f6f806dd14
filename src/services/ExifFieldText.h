#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

/// One metadata field as the image library writes it as text:
/// "RAW (HUMAN, FORMAT, N components, M bytes)", e.g.
/// "47/1 22/1 3684/100 (47, 22, 36.84, Rational, 3 components, 24 bytes)".
struct ExifFieldText {
    std::string raw;     ///< "47/1 22/1 3684/100"
    std::string format;  ///< "Rational", "ASCII", …

    /// Absent when the text does not have that shape.
    static std::optional<ExifFieldText> parse(std::string_view text);

    /// The ASCII value; absent for any other format.
    std::optional<std::string> ascii() const;
    /// Degrees from one to three unsigned rationals (degrees, minutes, seconds); absent for any
    /// other format, a zero denominator or malformed numbers.
    std::optional<double> degrees() const;
};

}  // namespace vantrel
