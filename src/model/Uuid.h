#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

/// A 128-bit identifier written as upper-case 8-4-4-4-12 hexadecimal text.
struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    /// A new random (version 4) identifier.
    static Uuid random();
    /// Reads the 36-character form in either case; absent for anything else.
    static std::optional<Uuid> parse(std::string_view text);
    /// The 36-character upper-case form.
    std::string toString() const;
    /// Appends the same 36 characters to `text` (no temporary string per identifier).
    void appendTo(std::string& text) const;

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;
};

}  // namespace vantrel
