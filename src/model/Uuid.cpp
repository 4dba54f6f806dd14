#include "model/Uuid.h"

#include <array>
#include <random>

namespace vantrel {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A table rather than comparisons: decoding a stored series reads one identifier per sample.
constexpr std::array<std::int8_t, 256> makeHexTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& value : table) value = -1;
    for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::int8_t>(c - 'a' + 10);
    return table;
}
constexpr std::array<std::int8_t, 256> kHexValues = makeHexTable();

/// Where the two digits of each byte start in the 8-4-4-4-12 text.
constexpr std::array<std::uint8_t, 16> kDigitOffsets{0,  2,  4,  6,  9,  11, 14, 16,
                                                     19, 21, 24, 26, 28, 30, 32, 34};

std::mt19937_64& generator() {
    thread_local std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    return engine;
}

}  // namespace

Uuid Uuid::random() {
    Uuid uuid;
    auto& engine = generator();
    for (std::size_t i = 0; i < 16; i += 8) {
        std::uint64_t word = engine();
        for (std::size_t j = 0; j < 8; ++j)
            uuid.bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
    uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);
    uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);
    return uuid;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
        text[23] != '-')
        return std::nullopt;
    Uuid uuid;
    int invalid = 0;  // negative once any digit was not hexadecimal
    for (std::size_t i = 0; i < 16; ++i) {
        int high = kHexValues[static_cast<unsigned char>(text[kDigitOffsets[i]])];
        int low = kHexValues[static_cast<unsigned char>(text[kDigitOffsets[i] + 1])];
        invalid |= high | low;
        uuid.bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    if (invalid < 0) return std::nullopt;
    return uuid;
}

std::string Uuid::toString() const {
    std::string text;
    text.reserve(36);
    appendTo(text);
    return text;
}

void Uuid::appendTo(std::string& text) const {
    std::size_t at = text.size();
    text.resize(at + 36);
    char* out = text.data() + at;
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) *out++ = '-';
        *out++ = kHexDigits[bytes[i] >> 4];
        *out++ = kHexDigits[bytes[i] & 0xF];
    }
}

}  // namespace vantrel
