#pragma once

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

/// Where the bytes of a document come from, a piece at a time.
class JsonSource {
  public:
    virtual ~JsonSource() = default;
    /// Up to `capacity` further bytes into `buffer`; 0 only at the end.
    virtual std::size_t read(char* buffer, std::size_t capacity) = 0;
};

/// Receives the unescaped content of a string in pieces.
class StringSink {
  public:
    virtual void append(const char* text, std::size_t size) = 0;

  protected:
    ~StringSink() = default;
};

/// What a reader of a whole JSON document checks before it looks at any value, found by watching
/// every byte go by: whether each string is closed, holds no unescaped control character and is
/// UTF-8, whether there is any value at all and whether an object ends with its brace.
class DocumentCheck {
  public:
    void add(const char* data, std::size_t size);
    /// The first fault in the order that reader reports them, once every byte was added.
    std::optional<simdjson::error_code> fault() const;

  private:
    void checkUtf8(const char* data, std::size_t size);

    bool m_inString = false;
    bool m_escaped = false;
    bool m_unescapedControl = false;
    bool m_invalidUtf8 = false;
    /// The start of a UTF-8 sequence that the last piece cut off.
    std::string m_utf8Carry;
    int m_first = -1;
    int m_last = -1;
};

/// A JSON document read front to back through a window of a few hundred kilobytes, which every
/// byte passes through a `DocumentCheck` on its way in. Every failure throws `ArchiveError` with
/// the JSON reader's own description.
class JsonInput {
  public:
    static constexpr int kEnd = -1;

    explicit JsonInput(JsonSource& source);

    /// The next byte, or `kEnd`.
    int peek() {
        if (m_position == m_end && !refill(1)) return kEnd;
        return static_cast<unsigned char>(m_buffer[m_position]);
    }
    void advance() { ++m_position; }
    /// Passes over JSON white space and returns the byte after it.
    int skipWhitespace();

    /// Reads the string whose opening quote is next, handing its unescaped content to `sink`
    /// (which may be null). Returns false when an escape is one the JSON reader refuses; the
    /// string is then still read to its end, and what `sink` got is incomplete.
    bool readString(StringSink* sink);
    /// Passes over the string whose opening quote is next without looking at its escapes, as a
    /// reader does with values it skips.
    void skipString();
    /// The number or literal that starts here: every byte up to white space, a structural
    /// character, a quote or the end. Longer than `limit` bytes fails as a malformed number.
    std::string readToken(std::size_t limit, const std::string& path);

    [[noreturn]] static void fail(simdjson::error_code code, const std::string& path = "");
    /// Reads the rest of the document and returns the fault that a reader of the whole
    /// document would have reported before any other, if there is one. Reading stops there.
    std::optional<simdjson::error_code> documentFault();

  private:
    /// Makes at least `count` unread bytes available unless the document ends first.
    bool refill(std::size_t count);
    bool readEscape(StringSink* sink);
    bool readHexQuad(std::uint32_t& value);
    /// Up to the closing quote; false when the string has no end.
    template <typename Piece>
    void scanString(Piece&& piece);

    JsonSource& m_source;
    std::vector<char> m_buffer;
    std::size_t m_position = 0;
    std::size_t m_end = 0;
    bool m_atEnd = false;
    DocumentCheck m_check;
};

}  // namespace vantrel
