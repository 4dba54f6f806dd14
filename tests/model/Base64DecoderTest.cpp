#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/Base64.h"
#include "model/Base64Decoder.h"

namespace vantrel {
namespace {

std::optional<Bytes> decodeInPieces(const std::string& text, std::size_t piece,
                                    std::size_t limit = std::numeric_limits<std::size_t>::max()) {
    Base64Decoder decoder(limit);
    for (std::size_t at = 0; at < text.size(); at += piece) {
        decoder.add(text.data() + at, std::min(piece, text.size() - at));
    }
    return decoder.finish();
}

// Whatever the pieces, the decoder must take exactly what the whole-text reading takes: the
// series it decodes are stored as they come.
TEST(Base64Decoder, AcceptsExactlyWhatTheWholeTextReadingAccepts) {
    const std::vector<std::string> texts = {
        "",           "AA==",
        "AAE=",       "AAEC",
        "AAH+/w==",   "AAECAwQFBgc=",
        "A",          "AA",
        "AAA",        "AA=",
        "A===",       "AA=A",
        "AAA=AAAA",   "AA==AAAA",
        "AAAA====",   "=AAA",
        "AA\nA",      "AAA*",
        "AAAA AAA",   "AAAA\xC3\xA9",
        "AAAA-_AA",   "QUJDREVGR0hJSktMTU5PUA==",
        "QUJD\\/w==", "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo=",
    };
    for (const auto& text : texts) {
        for (std::size_t piece :
             {std::size_t{1}, std::size_t{3}, std::size_t{5}, text.size() + 1}) {
            if (piece == 0) continue;
            EXPECT_EQ(decodeInPieces(text, piece), base64Decode(text))
                << "\"" << text << "\" in pieces of " << piece;
        }
    }
}

TEST(Base64Decoder, StopsKeepingBytesPastTheLimit) {
    std::string text = base64Encode(Bytes(3000, 0x5A));
    EXPECT_EQ(decodeInPieces(text, 7, 3000), Bytes(3000, 0x5A));

    Base64Decoder decoder(2999);
    decoder.add(text.data(), text.size());
    EXPECT_TRUE(decoder.exceeded());
    EXPECT_FALSE(decoder.failed());
    EXPECT_FALSE(decoder.finish());
}

}  // namespace
}  // namespace vantrel
