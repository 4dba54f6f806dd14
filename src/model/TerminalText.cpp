#include "model/TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace vantrel {

namespace {

/// The length of the valid UTF-8 sequence at `at` and its code point; length 0 when the bytes
/// there are no valid sequence (overlong forms, surrogates and cut sequences included).
std::size_t sequenceAt(std::string_view text, std::size_t at, char32_t& code) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    unsigned char lead = byte(0);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || at + length > text.size()) return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

void appendHex(std::string& out, const char* prefix, unsigned value, int digits) {
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, "%s%0*X", prefix, digits, value);
    out += buffer;
}

}  // namespace

std::string terminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = 0;
        std::size_t length = sequenceAt(text, i, code);
        if (length == 0) {
            appendHex(out, "\\x", static_cast<unsigned char>(text[i]), 2);
            i += 1;
            continue;
        }
        if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code < 0x20 || code == 0x7F) {
            appendHex(out, "\\x", code, 2);
        } else if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029) {
            appendHex(out, "\\u", code, 4);
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace vantrel
