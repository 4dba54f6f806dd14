#include "model/JsonWriter.h"

#include <charconv>
#include <cmath>

namespace vantrel {

void JsonWriter::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_needsComma.empty()) return;
    if (m_needsComma.back()) m_text.push_back(',');
    m_needsComma.back() = true;
}

void JsonWriter::beginObject() {
    separate();
    m_text.push_back('{');
    m_needsComma.push_back(false);
}

void JsonWriter::endObject() {
    m_text.push_back('}');
    m_needsComma.pop_back();
}

void JsonWriter::beginArray() {
    separate();
    m_text.push_back('[');
    m_needsComma.push_back(false);
}

void JsonWriter::endArray() {
    m_text.push_back(']');
    m_needsComma.pop_back();
}

void JsonWriter::key(std::string_view name) {
    separate();
    appendString(m_text, name);
    m_text.push_back(':');
    m_afterKey = true;
}

void JsonWriter::value(double number) {
    separate();
    if (!appendNumber(m_text, number)) {
        m_ok = false;
        m_text += "null";
    }
}

void JsonWriter::value(std::int64_t number) {
    separate();
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    m_text.append(buffer, result.ptr);
}

void JsonWriter::value(bool flag) {
    separate();
    m_text += flag ? "true" : "false";
}

void JsonWriter::value(std::string_view text) {
    separate();
    appendString(m_text, text);
}

void JsonWriter::null() {
    separate();
    m_text += "null";
}

void JsonWriter::raw(std::string_view json) {
    separate();
    m_text += json;
}

bool JsonWriter::appendNumber(std::string& out, double number) {
    if (!std::isfinite(number)) return false;
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, result.ptr);
    return true;
}

void JsonWriter::appendString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20) {
            out += "\\u00";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

}  // namespace vantrel
