// Feeds arbitrary text to the map's tile credit and tile source readers, as a preferences file
// could hold it: the credit's markup never carries more than one link, and that to a web
// address, and the image source is always one web origin and nothing else.
#include <QRegularExpression>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/map/TileCredit.h"

// The name is libFuzzer's.
extern "C" int LLVMFuzzerTestOneInput(  // NOLINT(readability-identifier-naming)
    const std::uint8_t* data, std::size_t size) {
    QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    vantrel::TileCredit credit = vantrel::TileCredit::parse(text);
    QString markup = credit.markup();
    static const QRegularExpression link(
        QStringLiteral("^<a href=\"https?://[^\"<>]+\" target=\"_blank\">[^<>]*</a>$"));
    qsizetype open = markup.indexOf(u'<');
    if (open >= 0) {
        qsizetype close = markup.indexOf(QStringLiteral("</a>"), open);
        if (close < 0 || !link.match(markup.mid(open, close + 4 - open)).hasMatch()) std::abort();
        if (markup.indexOf(u'<', close + 4) >= 0 || markup.count(u'>') != 2) std::abort();
        if (!credit.link.isValid()) std::abort();
    }
    static const QRegularExpression origin(
        QStringLiteral("^https?://(\\*\\.)?[^\\s;,'*/]+(:[0-9]+)?$"));
    QString source = vantrel::tileImageSource(text);
    if (!source.isEmpty() && !origin.match(source).hasMatch()) std::abort();
    return 0;
}
