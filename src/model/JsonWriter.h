#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

/// A small streaming JSON writer: compact output, shortest round-trip numbers, commas placed by
/// the writer. A non-finite number cannot be written; it marks the writer as failed (`ok()`
/// turns false) and writes `null` in its place so that the text stays well-formed.
class JsonWriter {
  public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    /// Writes an object key; the next value call gives its value.
    void key(std::string_view name);

    void value(double number);
    void value(std::int64_t number);
    void value(int number) { value(static_cast<std::int64_t>(number)); }
    void value(bool flag);
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void null();
    /// Inserts already-formed JSON text as one value.
    void raw(std::string_view json);

    bool ok() const { return m_ok; }
    const std::string& text() const { return m_text; }
    std::string take() { return std::move(m_text); }

    /// Appends the shortest text that reads back as `number`; false (nothing appended) when
    /// the number is not finite.
    static bool appendNumber(std::string& out, double number);
    /// Appends `text` as a quoted JSON string with the required escapes.
    static void appendString(std::string& out, std::string_view text);

  private:
    void separate();

    std::string m_text;
    std::vector<bool> m_needsComma;
    bool m_afterKey = false;
    bool m_ok = true;
};

}  // namespace vantrel
