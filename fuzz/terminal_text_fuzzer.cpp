// Feeds arbitrary bytes to the terminal escaping: what comes out is valid UTF-8 holding no
// control character, line or paragraph separator, whatever went in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/TerminalText.h"

namespace {

/// The next code point of valid UTF-8 at `at`, or aborts.
char32_t next(std::string_view text, std::size_t& at) {
    auto byte = [&](std::size_t i) {
        if (at + i >= text.size()) std::abort();
        return static_cast<unsigned char>(text[at + i]);
    };
    unsigned char lead = byte(0);
    int length = lead < 0x80                    ? 1
                 : lead >= 0xC2 && lead <= 0xDF ? 2
                 : lead >= 0xE0 && lead <= 0xEF ? 3
                 : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                : 0;
    if (length == 0) std::abort();
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) std::abort();
        code = (code << 6) | (byte(i) & 0x3F);
    }
    at += static_cast<std::size_t>(length);
    return code;
}

}  // namespace

// The name is libFuzzer's.
extern "C" int LLVMFuzzerTestOneInput(  // NOLINT(readability-identifier-naming)
    const std::uint8_t* data, std::size_t size) {
    std::string escaped =
        vantrel::terminalText(std::string_view(reinterpret_cast<const char*>(data), size));
    for (std::size_t at = 0; at < escaped.size();) {
        char32_t code = next(escaped, at);
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            std::abort();
        }
    }
    return 0;
}
