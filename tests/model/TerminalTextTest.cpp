#include <gtest/gtest.h>

#include "model/TerminalText.h"

namespace vantrel {
namespace {

TEST(TerminalTextTest, ControlsAreWrittenOutAndOtherTextIsKept) {
    EXPECT_EQ(terminalText("Zürich – 東京 🚴 \"a\\b\""), "Zürich – 東京 🚴 \"a\\b\"");
    EXPECT_EQ(terminalText(std::string("a\0b\x1b[2J\x07\x7f\n\r\t", 12)),
              "a\\x00b\\x1B[2J\\x07\\x7F\\n\\r\\t");
    EXPECT_EQ(terminalText("\xc2\x85\xc2\x9b\xe2\x80\xa8\xe2\x80\xa9\xc2\xa0"),
              "\\u0085\\u009B\\u2028\\u2029\xc2\xa0");
}

TEST(TerminalTextTest, BytesThatAreNoUtf8AreWrittenOut) {
    // A raw 8-bit CSI, a cut sequence, an overlong ESC, a surrogate, a lead with no follower.
    EXPECT_EQ(terminalText("\x9b"
                           "31m"),
              "\\x9B31m");
    EXPECT_EQ(terminalText("ab\xe2\x80"), "ab\\xE2\\x80");
    EXPECT_EQ(terminalText("\xc0\x9b"), "\\xC0\\x9B");
    EXPECT_EQ(terminalText("\xed\xa0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(terminalText("\xf5\x80\x80\x80 x\xc3"), "\\xF5\\x80\\x80\\x80 x\\xC3");
}

}  // namespace
}  // namespace vantrel
