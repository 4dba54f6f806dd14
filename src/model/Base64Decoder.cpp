#include "model/Base64Decoder.h"

#include <array>

namespace vantrel {

namespace {

// Every byte outside the alphabet maps to a value with the high bit set, so that one test of
// four values or-ed together finds any of them.
constexpr std::uint32_t kInvalid = 0x80000000u;

constexpr std::array<std::uint32_t, 256> kValues = [] {
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::array<std::uint32_t, 256> values{};
    values.fill(kInvalid);
    for (std::uint32_t i = 0; i < 64; ++i) values[static_cast<unsigned char>(alphabet[i])] = i;
    return values;
}();

std::uint32_t valueOf(char c) {
    return kValues[static_cast<unsigned char>(c)];
}

}  // namespace

void Base64Decoder::add(const char* text, std::size_t size) {
    std::size_t i = 0;
    while (i < size && !m_failed) {
        if (m_filled == 0 && !m_hasPending && size - i >= 4) {
            std::size_t decoded = decodeGroups(text + i, size - i);
            i += decoded;
            if (decoded > 0) continue;
        }
        m_group[m_filled++] = text[i++];
        if (m_filled == 4) takeGroup();
    }
}

// The fast path: whole groups straight from the text while they hold no padding.
std::size_t Base64Decoder::decodeGroups(const char* text, std::size_t size) {
    std::size_t done = 0;
    for (; done + 4 <= size; done += 4) {
        const char* group = text + done;
        std::uint32_t value = valueOf(group[0]) << 18 | valueOf(group[1]) << 12 |
                              valueOf(group[2]) << 6 | valueOf(group[3]);
        if ((valueOf(group[0]) | valueOf(group[1]) | valueOf(group[2]) | valueOf(group[3])) &
            kInvalid)
            break;
        emit(value, 3);
    }
    return done;
}

// Padding is allowed in the last group only: a group holding "=" waits to see whether another
// one follows.
void Base64Decoder::takeGroup() {
    m_filled = 0;
    if (m_hasPending) {
        m_failed = true;
        return;
    }
    bool padded = m_group[2] == '=' || m_group[3] == '=';
    if (padded) {
        std::copy(m_group, m_group + 4, m_pending);
        m_hasPending = true;
        return;
    }
    decodeGroup(m_group, 0);
}

void Base64Decoder::decodeGroup(const char* group, int padding) {
    if (padding == 1 && group[2] == '=') {
        m_failed = true;
        return;
    }
    std::uint32_t value = 0;
    std::uint32_t invalid = 0;
    for (int j = 0; j < 4 - padding; ++j) {
        invalid |= valueOf(group[j]);
        value |= valueOf(group[j]) << (18 - 6 * j);
    }
    if (invalid & kInvalid) {
        m_failed = true;
        return;
    }
    emit(value, 3 - padding);
}

void Base64Decoder::emit(std::uint32_t value, int count) {
    if (m_exceeded) return;
    if (m_bytes.size() + static_cast<std::size_t>(count) > m_limit) {
        m_exceeded = true;
        Bytes().swap(m_bytes);
        return;
    }
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(value >> 16),
                                   static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value)};
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
}

std::optional<Bytes> Base64Decoder::finish() {
    if (m_filled != 0) m_failed = true;
    if (!m_failed && m_hasPending) {
        m_hasPending = false;
        decodeGroup(m_pending, (m_pending[3] == '=') + (m_pending[2] == '='));
    }
    if (m_failed || m_exceeded) return std::nullopt;
    return std::move(m_bytes);
}

}  // namespace vantrel
