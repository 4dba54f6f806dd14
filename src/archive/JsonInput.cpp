#include "archive/JsonInput.h"

#include <cstdint>
#include <cstring>

#include "archive/ArchiveError.h"

namespace vantrel {

namespace {

constexpr std::size_t kWindow = std::size_t{256} * 1024;

bool isWhitespace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool endsToken(int c) {
    return c == JsonInput::kEnd || isWhitespace(c) || c == ',' || c == ':' || c == '{' ||
           c == '}' || c == '[' || c == ']' || c == '"';
}

/// The length of the UTF-8 sequence that `lead` begins; 1 for anything that cannot begin one,
/// which the validator then refuses.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::size_t encodeUtf8(std::uint32_t code, char* out) {
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

/// The first byte from `begin` on that is a quote, a backslash or a control character, or `end`:
/// what ends a run of plain string content. Eight bytes are tested at a time.
const char* findStringSpecial(const char* begin, const char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    auto hasZeroByte = [](std::uint64_t word) { return (word - kOnes) & ~word & kHighs; };
    const char* at = begin;
    for (; end - at >= 8; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, sizeof word);
        std::uint64_t found = hasZeroByte(word ^ (kOnes * '"')) |
                              hasZeroByte(word ^ (kOnes * '\\')) |
                              ((word - kOnes * 0x20) & ~word & kHighs);
        if (found) break;
    }
    while (at < end && *at != '"' && *at != '\\' && static_cast<unsigned char>(*at) >= 0x20) ++at;
    return at;
}

}  // namespace

void DocumentCheck::add(const char* data, std::size_t size) {
    checkUtf8(data, size);
    for (std::size_t i = 0; i < size; ++i) {
        if (m_inString && !m_escaped) {
            i = static_cast<std::size_t>(findStringSpecial(data + i, data + size) - data);
            if (i == size) break;
        }
        auto byte = static_cast<unsigned char>(data[i]);
        // A backslash escapes the next byte wherever it stands, as the whole-document reader
        // finds the strings' ends.
        if (m_escaped) {
            m_escaped = false;
            m_unescapedControl |= m_inString && byte < 0x20;
        } else if (byte == '\\') {
            m_escaped = true;
        } else if (byte == '"') {
            m_inString = !m_inString;
        } else if (m_inString) {
            m_unescapedControl |= byte < 0x20;
            continue;
        } else if (isWhitespace(byte)) {
            continue;
        }
        if (m_first < 0) m_first = byte;
        m_last = byte;
    }
}

// A piece may end inside a multi-byte character: its start waits for the next piece.
void DocumentCheck::checkUtf8(const char* data, std::size_t size) {
    std::size_t start = 0;
    if (!m_utf8Carry.empty()) {
        std::size_t missing = sequenceLength(m_utf8Carry[0]) - m_utf8Carry.size();
        start = std::min(missing, size);
        m_utf8Carry.append(data, start);
        if (start < missing) return;
        m_invalidUtf8 |= !simdjson::validate_utf8(m_utf8Carry.data(), m_utf8Carry.size());
        m_utf8Carry.clear();
    }
    std::size_t cut = size;
    for (std::size_t back = 1; back <= 3 && back <= size - start; ++back) {
        auto byte = static_cast<unsigned char>(data[size - back]);
        if ((byte & 0xC0) == 0x80) continue;
        if (byte >= 0xC0 && sequenceLength(byte) > back) cut = size - back;
        break;
    }
    m_invalidUtf8 |= !simdjson::validate_utf8(data + start, cut - start);
    m_utf8Carry.assign(data + cut, size - cut);
}

std::optional<simdjson::error_code> DocumentCheck::fault() const {
    if (m_inString) return simdjson::UNCLOSED_STRING;
    if (m_unescapedControl) return simdjson::UNESCAPED_CHARS;
    if (m_invalidUtf8 || !m_utf8Carry.empty()) return simdjson::UTF8_ERROR;
    if (m_first < 0) return simdjson::EMPTY;
    if (m_first == '{' && m_last != '}') return simdjson::INCOMPLETE_ARRAY_OR_OBJECT;
    return std::nullopt;
}

JsonInput::JsonInput(JsonSource& source) : m_source(source), m_buffer(kWindow) {}

std::optional<simdjson::error_code> JsonInput::documentFault() {
    while (!m_atEnd) {
        std::size_t read = m_source.read(m_buffer.data(), m_buffer.size());
        if (read == 0) break;
        m_check.add(m_buffer.data(), read);
    }
    m_atEnd = true;
    m_position = m_end = 0;
    return m_check.fault();
}

void JsonInput::fail(simdjson::error_code code, const std::string& path) {
    throw ArchiveError::dataCorrupted(simdjson::error_message(code), path);
}

bool JsonInput::refill(std::size_t count) {
    if (m_end - m_position >= count) return true;
    if (m_position > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_position, m_end - m_position);
        m_end -= m_position;
        m_position = 0;
    }
    while (m_end < count && !m_atEnd) {
        std::size_t read = m_source.read(m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (read == 0) {
            m_atEnd = true;
            break;
        }
        m_check.add(m_buffer.data() + m_end, read);
        m_end += read;
    }
    return m_end >= count;
}

int JsonInput::skipWhitespace() {
    for (;;) {
        int c = peek();
        if (!isWhitespace(c)) return c;
        advance();
    }
}

template <typename Piece>
void JsonInput::scanString(Piece&& piece) {
    advance();
    for (;;) {
        if (m_position == m_end && !refill(1)) fail(simdjson::UNCLOSED_STRING);
        const char* begin = m_buffer.data() + m_position;
        const char* end = m_buffer.data() + m_end;
        const char* stop = findStringSpecial(begin, end);
        if (stop > begin) piece(begin, static_cast<std::size_t>(stop - begin));
        m_position += static_cast<std::size_t>(stop - begin);
        if (stop == end) continue;
        if (*stop == '"') {
            advance();
            return;
        }
        if (*stop != '\\') fail(simdjson::UNESCAPED_CHARS);
        if (!refill(2)) fail(simdjson::UNCLOSED_STRING);
        if (static_cast<unsigned char>(m_buffer[m_position + 1]) < 0x20)
            fail(simdjson::UNESCAPED_CHARS);
        piece(nullptr, 0);
    }
}

bool JsonInput::readString(StringSink* sink) {
    bool valid = true;
    scanString([&](const char* text, std::size_t size) {
        if (text) {
            if (valid && sink) sink->append(text, size);
        } else if (!readEscape(valid ? sink : nullptr)) {
            valid = false;
        }
    });
    return valid;
}

void JsonInput::skipString() {
    scanString([&](const char* text, std::size_t) {
        if (!text) m_position += 2;
    });
}

// The backslash is next and the byte after it is available. An escape is always two bytes for
// finding where the string ends; what "\u" means is checked on the bytes after it.
bool JsonInput::readEscape(StringSink* sink) {
    char escaped = m_buffer[m_position + 1];
    m_position += 2;
    char plain = 0;
    switch (escaped) {
        case '"':
        case '\\':
        case '/':
            plain = escaped;
            break;
        case 'b':
            plain = '\b';
            break;
        case 'f':
            plain = '\f';
            break;
        case 'n':
            plain = '\n';
            break;
        case 'r':
            plain = '\r';
            break;
        case 't':
            plain = '\t';
            break;
        case 'u': {
            std::uint32_t code = 0;
            if (!readHexQuad(code)) return false;
            if (code >= 0xD800 && code < 0xDC00) {
                if (!refill(2) || m_buffer[m_position] != '\\' || m_buffer[m_position + 1] != 'u')
                    return false;
                m_position += 2;
                std::uint32_t low = 0;
                if (!readHexQuad(low) || ((low - 0xDC00) >> 10) != 0) return false;
                code = (((code - 0xD800) << 10) | (low - 0xDC00)) + 0x10000;
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                return false;
            }
            char utf8[4];
            if (sink) sink->append(utf8, encodeUtf8(code, utf8));
            return true;
        }
        default:
            return false;
    }
    if (sink) sink->append(&plain, 1);
    return true;
}

bool JsonInput::readHexQuad(std::uint32_t& value) {
    if (!refill(4)) return false;
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        int digit = hexValue(m_buffer[m_position + i]);
        if (digit < 0) return false;
        result = result << 4 | static_cast<std::uint32_t>(digit);
    }
    m_position += 4;
    value = result;
    return true;
}

std::string JsonInput::readToken(std::size_t limit, const std::string& path) {
    std::string token;
    for (int c = peek(); !endsToken(c); c = peek()) {
        if (token.size() == limit) fail(simdjson::NUMBER_ERROR, path);
        token.push_back(static_cast<char>(c));
        advance();
    }
    return token;
}

}  // namespace vantrel
