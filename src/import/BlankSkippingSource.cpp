#include "import/BlankSkippingSource.h"

#include <algorithm>
#include <cstring>

namespace vantrel {

std::size_t documentStart(const Bytes& bytes) {
    std::size_t start = 0;
    while (start < bytes.size() && isBlankByte(bytes[start])) ++start;
    return start == bytes.size() ? 0 : start;
}

std::size_t BlankSkippingSource::read(char* buffer, std::size_t capacity) {
    if (m_started) return m_reader.read(buffer, capacity);
    if (m_allBlank) return takeSkipped(buffer, capacity);
    for (;;) {
        std::size_t length = m_reader.read(buffer, capacity);
        if (length == 0) {
            m_allBlank = true;
            return takeSkipped(buffer, capacity);
        }
        std::size_t start = 0;
        while (start < length && isBlankByte(static_cast<std::uint8_t>(buffer[start]))) ++start;
        if (start < length) {
            m_started = true;
            m_skipped.clear();
            std::memmove(buffer, buffer + start, length - start);
            return length - start;
        }
        // Kept in case the whole file turns out blank, when it must go through as it is.
        m_skipped.append(buffer, length);
    }
}

std::size_t BlankSkippingSource::takeSkipped(char* buffer, std::size_t capacity) {
    std::size_t length = std::min(capacity, m_skipped.size() - m_handedOver);
    std::memcpy(buffer, m_skipped.data() + m_handedOver, length);
    m_handedOver += length;
    return length;
}

}  // namespace vantrel
