#include <gtest/gtest.h>

#include "app/map/TileCredit.h"

namespace vantrel::test {
namespace {

TEST(TileCreditTest, TheUsualCreditKeepsItsLinkAndEntities) {
    TileCredit credit = TileCredit::parse(
        "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> "
        "contributors");
    EXPECT_EQ(credit.before, QStringLiteral("© "));
    EXPECT_EQ(credit.linkText, "OpenStreetMap");
    EXPECT_EQ(credit.link, QUrl("https://www.openstreetmap.org/copyright"));
    EXPECT_EQ(credit.after, " contributors");
    EXPECT_EQ(credit.markup(),
              QStringLiteral("© <a href=\"https://www.openstreetmap.org/copyright\" "
                             "target=\"_blank\">OpenStreetMap</a> contributors"));
}

TEST(TileCreditTest, MarkupInTheCreditNeverBecomesAnElementOrAttribute) {
    TileCredit credit = TileCredit::parse(
        "Tiles <img src=x onerror=\"alert(1)\"><script>steal()</script> by "
        "<a href=\"https://a.example/?x=1&amp;y=\\\"\" onclick=\"alert(2)\">A <b>&amp;</b> B</a>"
        " and <a href=\"https://b.example/\">second</a> &lt;i&gt;");
    EXPECT_EQ(credit.before, "Tiles steal() by ");
    EXPECT_EQ(credit.linkText, "A & B");
    EXPECT_EQ(credit.after, " and second <i>");
    EXPECT_EQ(credit.markup(), credit.before.toHtmlEscaped() +
                                   "<a href=\"https://a.example/?x=1&amp;y=%5C\" "
                                   "target=\"_blank\">A &amp; B</a>" +
                                   " and second &lt;i&gt;");

    // Only web addresses are links; anything else stays the link's text.
    for (const char* href : {"javascript:alert(1)", "file:///etc/passwd", "qrc:/map/map.html",
                             "data:text/html,x", "https:///nohost", "  "}) {
        TileCredit other = TileCredit::parse(
            QStringLiteral("<a href=\"%1\">Name</a>").arg(QString::fromUtf8(href)));
        EXPECT_FALSE(other.link.isValid()) << href;
        EXPECT_EQ(other.markup(), "Name") << href;
    }
    // A lone "<", an unknown entity and an unfinished tag are text or dropped, never markup.
    EXPECT_EQ(TileCredit::parse("a < b &bogus; &#0; <img src=x").markup(),
              "a &lt; b &amp;bogus; &amp;#0; ");
}

TEST(TileCreditTest, TheImageSourceIsTheTileServerWithPlaceholdersAsWildcards) {
    EXPECT_EQ(tileImageSource("https://tile.openstreetmap.org/{z}/{x}/{y}.png"),
              "https://tile.openstreetmap.org");
    EXPECT_EQ(tileImageSource("https://{s}.tile.example.org/{z}/{x}/{y}.png"),
              "https://*.tile.example.org");
    EXPECT_EQ(tileImageSource("http://127.0.0.1:8080/tiles/{z}/{x}/{y}.png"),
              "http://127.0.0.1:8080");
    EXPECT_EQ(tileImageSource("https://tile-{s}.example.org/{z}/{x}/{y}.png"),
              "https://*.example.org");
    for (const char* bad : {"file:///home/tiles/{z}/{x}/{y}.png", "{s}/{z}", "https://{s}/{z}",
                            "https://bad host/{z}.png;report-uri x", ""}) {
        EXPECT_EQ(tileImageSource(QString::fromUtf8(bad)), "") << bad;
    }
}

}  // namespace
}  // namespace vantrel::test
