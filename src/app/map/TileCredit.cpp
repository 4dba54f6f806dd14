#include "app/map/TileCredit.h"

#include <QRegularExpression>
#include <optional>

namespace vantrel {

namespace {

constexpr int kLongestEntity = 10;

std::optional<char32_t> namedEntity(QStringView name) {
    static const std::pair<const char*, char32_t> names[] = {
        {"amp", U'&'},   {"lt", U'<'},        {"gt", U'>'},        {"quot", U'"'},
        {"apos", U'\''}, {"nbsp", U'\u00A0'}, {"copy", U'\u00A9'}, {"reg", U'\u00AE'}};
    for (const auto& [text, character] : names) {
        if (name == QLatin1String(text)) return character;
    }
    return std::nullopt;
}

std::optional<char32_t> entity(QStringView name) {
    if (!name.startsWith(u'#')) return namedEntity(name);
    bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
    bool ok = false;
    uint code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
    // Control characters and surrogates are no text to show.
    if (!ok || code < 0x20 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return static_cast<char32_t>(code);
}

QString decodedEntities(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype end = text.at(i) == u'&' ? text.indexOf(u';', i) : -1;
        std::optional<char32_t> character;
        if (end > i + 1 && end - i <= kLongestEntity)
            character = entity(QStringView(text).mid(i + 1, end - i - 1));
        if (!character) {
            result += text.at(i);
            continue;
        }
        result += QString::fromUcs4(&*character, 1);
        i = end;
    }
    return result;
}

/// The text of a piece of markup: tags dropped, entities decoded.
QString plainText(const QString& markup) {
    static const QRegularExpression tag(QStringLiteral("<[/!?a-zA-Z][^>]*>?"));
    QString text = markup;
    text.remove(tag);
    return decodedEntities(text);
}

QUrl webLink(const QString& href) {
    QUrl url(decodedEntities(href).trimmed());
    bool web = url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http");
    return url.isValid() && web && !url.host().isEmpty() ? url : QUrl();
}

}  // namespace

TileCredit TileCredit::parse(const QString& attribution) {
    static const QRegularExpression anchor(
        QStringLiteral("<a\\s[^>]*?href\\s*=\\s*\"([^\"]*)\"[^>]*>(.*?)</a\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QRegularExpressionMatch match = anchor.match(attribution);
    if (!match.hasMatch()) return {plainText(attribution), {}, {}, {}};
    return {plainText(attribution.left(match.capturedStart())), plainText(match.captured(2)),
            webLink(match.captured(1)), plainText(attribution.mid(match.capturedEnd()))};
}

QString TileCredit::markup() const {
    QString middle = linkText.toHtmlEscaped();
    if (link.isValid()) {
        // The map opens only links meant for a new window, in the browser (see MapPage).
        middle = QStringLiteral("<a href=\"%1\" target=\"_blank\">%2</a>")
                     .arg(QString::fromLatin1(link.toEncoded()).toHtmlEscaped(), middle);
    }
    return before.toHtmlEscaped() + middle + after.toHtmlEscaped();
}

QString tileImageSource(const QString& urlTemplate) {
    // Placeholders such as {s} and {z} are no part of a valid address; a plain word stands in
    // for them while the address is read, and a label holding one becomes a wildcard.
    static const QRegularExpression placeholder(QStringLiteral("\\{[^}]*\\}"));
    static const QString marker = QStringLiteral("tileplaceholder");
    QString address = urlTemplate;
    address.replace(placeholder, marker);
    QUrl url(address, QUrl::StrictMode);
    bool web = url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http");
    if (!url.isValid() || !web || url.host().isEmpty()) return {};
    QStringList labels = url.host().split(u'.');
    qsizetype wildcard = -1;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        if (labels[i].contains(marker)) wildcard = i;
    }
    if (wildcard >= 0) labels = QStringList{QStringLiteral("*")} + labels.mid(wildcard + 1);
    if (labels.size() < 2 && wildcard >= 0) return {};
    QString host = labels.join(u'.');
    if (host.contains(u':')) host = u'[' + host + u']';
    QString source = url.scheme() + QStringLiteral("://") + host;
    if (url.port() >= 0) source += QStringLiteral(":%1").arg(url.port());
    return source;
}

}  // namespace vantrel
