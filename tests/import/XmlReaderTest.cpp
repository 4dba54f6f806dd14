#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "import/ExpatXmlReader.h"
#include "import/FastXmlReader.h"
#include "support/TestSupport.h"
#include "support/XmlEventLog.h"

namespace vantrel {
namespace {

const std::uint8_t* bytes(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

/// Reads `document` with both readers in both namespace modes and both ways of wanting text;
/// the in-place reader must read it (`readInPlace`) or decline, and match expat when it reads.
void expectSameAsExpat(const std::string& document, bool readInPlace,
                       std::initializer_list<bool> namespaceModes = {false, true}) {
    // An exact-size copy, so that reading past the end shows under AddressSanitizer.
    std::vector<std::uint8_t> data(document.begin(), document.end());
    for (bool namespaces : namespaceModes) {
        for (bool someText : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "namespaces " << namespaces << ", some text " << someText << "\n"
                         << document);
            XmlEventLog fast(someText);
            bool read = readXmlFast(data.data(), data.size(), namespaces, fast);
            XmlEventLog expat(someText);
            auto error = readXmlWithExpat(data.data(), data.size(), namespaces, expat);
            if (!readInPlace) {
                EXPECT_FALSE(read);
                EXPECT_EQ(fast.log(), "");
                continue;
            }
            ASSERT_TRUE(read);
            EXPECT_FALSE(error) << *error;
            // Logs of whole tracks are too long to print; the first difference says enough.
            auto [in, ex] = std::mismatch(fast.log().begin(), fast.log().end(), expat.log().begin(),
                                          expat.log().end());
            EXPECT_TRUE(in == fast.log().end() && ex == expat.log().end())
                << "in place: " << std::string(in, fast.log().end()).substr(0, 200)
                << "\nexpat: " << std::string(ex, expat.log().end()).substr(0, 200);
        }
    }
}

TEST(XmlReader, ReadsEveryCorpusDocumentInPlaceAsExpatDoes) {
    int read = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VANTREL_CORPUS_DIR)) {
        std::string name = entry.path().filename();
        if (!name.ends_with(".gpx") && !name.ends_with(".tcx")) continue;
        SCOPED_TRACE(name);
        std::string document = test::readFileText(entry.path());
        if (name.find("leading-whitespace") != std::string::npos) {
            // Blanks ahead of the declaration, which only the file reader skips.
            expectSameAsExpat(document, false);
        } else if (name.find("invalid") != std::string::npos) {
            // An unbound prefix.
            expectSameAsExpat(document, false, {true});
            expectSameAsExpat(document, true, {false});
        } else {
            expectSameAsExpat(document, true);
            ++read;
        }
    }
    EXPECT_GE(read, 15);
}

TEST(XmlReader, DeliversTextAndTheWhiteSpaceBetweenElementsAsExpat) {
    expectSameAsExpat(
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone='no' ?>\r\n<!-- a -->\r\n"
        "<root>\r\n  <x a=\"1\tb\r\nc\rd\">te\rxt<![CDATA[ <c>\r\n ]]>tail</x>\r\n"
        "  <!-- inner -->\r\n  <yy/> <zz> </zz>\n<ww>\n<vv>1</vv>\n</ww> \n</root>\n<!-- end -->",
        true);
    expectSameAsExpat("\xEF\xBB\xBF<a><bb><cc><dd>x</dd> </cc>\n </bb>\n\n</a>", true);
}

TEST(XmlReader, ResolvesNamespacesAsExpat) {
    std::string document =
        "<g:root xmlns=\"urn:d\" xmlns:g=\"urn:g\" xmlns:h=\"urn:h\" h:a=\"1\" b=\"2\" "
        "xml:lang=\"en\"><h:x h:y=\"3\"><in xmlns:h=\"urn:other\" h:y=\"4\"/></h:x></g:root>";
    expectSameAsExpat(document, true);
    XmlEventLog log;
    ASSERT_TRUE(readXmlFast(bytes(document), document.size(), true, log));
    EXPECT_NE(log.log().find("<in [urn:other\xFFy]=[4]>"), std::string::npos) << log.log();
}

TEST(XmlReader, LeavesToExpatWhatItDoesNotReadTheSame) {
    for (const char* document : {
             "<a>&amp;</a>",                                         // entities
             "<!DOCTYPE a><a/>",                                     // document type
             "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>",  // another encoding
             "<?xml version=\"1.1\"?><a/>",
             "<?xml version=\"1.0\"encoding=\"UTF-8\"?><a/>",
             "<a>\xC3</a>",                   // invalid UTF-8
             "<a>\x01</a>",                   // forbidden control character
             "<a>\xEF\xBF\xBE</a>",           // U+FFFE
             "<a b=\"1\" b=\"2\"/>",          // duplicate attribute
             "<a b=\"<\"/>",                  // '<' in a value
             "<a>]]></a>",                    // the end of a CDATA section in text
             "<a><!-- x -- y --></a>",        // "--" in a comment
             "<a><!-- x ---></a>",            // a comment ending in '-'
             "<a/><b/>",                      // two roots
             "<a/>text",                      // text outside the root
             "<a/>u",                         // ... also when the parser would drop it
             "<a></a>>",                      //
             "<a b=\"1\"/>>",                 //
             "<a/><!-- c -->x",               //
             "<a><?pi x?></a>",               // processing instruction
             "\xEF\xBB\xBF\xEF\xBB\xBF<a/>",  // a second byte order mark
             "<\xC3\xA9/>",                   // a name outside ASCII
             "<a>",                           // unclosed
             "",
         }) {
        expectSameAsExpat(document, false);
    }
    // Only namespace processing refuses these; without it they read the same.
    for (const char* document : {
             "<p:a/>",               // unbound prefix
             "<a xmlns:0w=\"x\"/>",  // a local name starting with a digit
             "<a xmlns:p=\"\"/>",    // undeclaring a prefix
             "<a xmlns:p=\"u\" xmlns:q=\"u\" p:x=\"1\" q:x=\"2\"/>",  // same expanded name
         }) {
        expectSameAsExpat(document, false, {true});
        expectSameAsExpat(document, true, {false});
    }
}

TEST(XmlReader, ReportsExpatsErrorWhenDeclining) {
    struct Ignore : XmlEventHandler {
        void startElement(std::string_view, const char**) override {}
        void characters(std::string_view) override {}
        void endElement(std::string_view) override {}
    } ignore;
    for (const std::string document : {"<a>&bogus;</a>", "<a/>u", "<a><b></a>"}) {
        auto expected = readXmlWithExpat(bytes(document), document.size(), true, ignore);
        ASSERT_TRUE(expected);
        EXPECT_EQ(readXml(bytes(document), document.size(), true, ignore), expected);
    }
    std::string document = "<a/>u";
    EXPECT_EQ(*readXml(bytes(document), document.size(), true, ignore),
              "junk after document element at line 1, column 5");
}

// Deep nesting must neither overflow the stack nor read the end tags back once per level.
TEST(XmlReader, ReadsDeepNestingWithoutRecursion) {
    std::string document;
    for (int i = 0; i < 100000; ++i) document += "<a>";
    document += "<b/>";
    for (int i = 0; i < 100000; ++i) document += " </a>";
    XmlEventLog fast;
    ASSERT_TRUE(readXmlFast(bytes(document), document.size(), true, fast));
    XmlEventLog expat;
    ASSERT_FALSE(readXmlWithExpat(bytes(document), document.size(), true, expat));
    EXPECT_EQ(fast.log(), expat.log());
}

std::string trackOfSize(std::size_t size) {
    std::string document = "<gpx><trk><trkseg>\n";
    while (document.size() < size) {
        document += "  <trkpt lat=\"47.1\" lon=\"8.5\"><ele>412.3</ele></trkpt>\n";
    }
    return document + "</trkseg></trk></gpx>\n";
}

// Each thread's tree takes its pages from that thread's own buffer.
TEST(XmlReader, ReadsOnSeveralThreadsAtOnce) {
    std::string document = trackOfSize(200000);
    XmlEventLog expected;
    ASSERT_FALSE(readXmlWithExpat(bytes(document), document.size(), true, expected));
    std::vector<std::string> logs(4);
    std::vector<std::thread> threads;
    threads.reserve(logs.size());
    for (auto& log : logs) {
        threads.emplace_back([&document, &log] {
            for (int round = 0; round < 5; ++round) {
                XmlEventLog events;
                if (!readXmlFast(bytes(document), document.size(), true, events)) return;
                log = events.log();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& log : logs) EXPECT_TRUE(log == expected.log());
}

TEST(XmlReader, ReadsAgainAfterAHandlerGaveUp) {
    struct GivingUp : XmlEventLog {
        void startElement(std::string_view name, const char** attributes) override {
            if (name == "ele") throw std::runtime_error("enough");
            XmlEventLog::startElement(name, attributes);
        }
    };
    std::string document = trackOfSize(10000);
    GivingUp givingUp;
    EXPECT_THROW(readXml(bytes(document), document.size(), true, givingUp), std::runtime_error);
    expectSameAsExpat(document, true);
}

/// Serves a document in pieces of at most `piece` bytes and counts what it served.
struct PieceSource {
    const std::string& document;
    std::size_t piece;
    std::size_t served = 0;
    int callsAfterEnd = 0;

    std::size_t operator()(char* buffer, std::size_t capacity) {
        if (served == document.size()) ++callsAfterEnd;
        std::size_t length = std::min({capacity, piece, document.size() - served});
        std::memcpy(buffer, document.data() + served, length);
        served += length;
        return length;
    }
};

TEST(XmlReader, StreamsEveryDocumentSizeWithTheSameEvents) {
    for (std::size_t size :
         {std::size_t{1000}, kFastXmlSizeLimit - 100, kFastXmlSizeLimit + 5000}) {
        std::string document = trackOfSize(size);
        XmlEventLog expected(true);
        ASSERT_FALSE(readXmlWithExpat(bytes(document), document.size(), true, expected));
        // Right, too small and unknown expected sizes.
        for (std::size_t expectedSize : {document.size(), document.size() / 3, std::size_t{0}}) {
            SCOPED_TRACE(testing::Message() << size << " bytes, expected " << expectedSize);
            std::string text = document;
            PieceSource pieces{text, 100000};
            XmlSource source = std::ref(pieces);
            XmlEventLog streamed(true);
            EXPECT_FALSE(readXml(source, expectedSize, true, streamed));
            EXPECT_EQ(streamed.log(), expected.log());
            EXPECT_EQ(pieces.served, document.size());
            EXPECT_LE(pieces.callsAfterEnd, 1);
        }
    }
}

TEST(XmlReader, StreamedErrorsStayExpats) {
    std::string document = trackOfSize(kFastXmlSizeLimit + 5000) + "junk";
    XmlEventLog ignored;
    auto expected = readXmlWithExpat(bytes(document), document.size(), true, ignored);
    ASSERT_TRUE(expected);
    for (std::size_t expectedSize : {document.size(), std::size_t{1000}}) {
        PieceSource pieces{document, 65536};
        XmlEventLog log;
        EXPECT_EQ(readXml(std::ref(pieces), expectedSize, true, log), expected);
    }
}

}  // namespace
}  // namespace vantrel
