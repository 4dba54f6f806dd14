#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "model/Bytes.h"

namespace vantrel {

/// Decodes padded Base64 text handed over in pieces, accepting exactly what `base64Decode`
/// accepts of the whole text, so that a long field never has to be held as text. Output beyond
/// `limit` bytes is not kept: the decoder then only notes that the limit was passed.
class Base64Decoder {
  public:
    explicit Base64Decoder(std::size_t limit = std::numeric_limits<std::size_t>::max())
        : m_limit(limit) {}

    /// Makes room for `bytes` of output (no more than the limit) at once.
    void reserve(std::size_t bytes) { m_bytes.reserve(std::min(bytes, m_limit)); }
    void add(const char* text, std::size_t size);
    /// True once the text so far can no longer be valid; later pieces are then ignored.
    bool failed() const { return m_failed; }
    /// True once the decoded bytes would be longer than the limit.
    bool exceeded() const { return m_exceeded; }
    /// The decoded bytes of everything added; absent when the text is not valid or the limit
    /// was passed. The decoder is spent afterwards.
    std::optional<Bytes> finish();

  private:
    std::size_t decodeGroups(const char* text, std::size_t size);
    void takeGroup();
    void decodeGroup(const char* group, int padding);
    void emit(std::uint32_t value, int count);

    std::size_t m_limit;
    Bytes m_bytes;
    char m_group[4] = {};
    char m_pending[4] = {};
    int m_filled = 0;
    bool m_hasPending = false;
    bool m_failed = false;
    bool m_exceeded = false;
};

}  // namespace vantrel
