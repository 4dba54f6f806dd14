#pragma once

#include <QString>
#include <QUrl>

namespace vantrel {

/// The tile server's credit line as the map shows it: text with at most one link. The
/// preference may hold the usual `text <a href="…">name</a> text` form; everything else in it
/// that looks like markup is dropped, and entities such as "&copy;" become their characters.
/// The page receives only the markup this type builds, so a credit line can never add an
/// element, an attribute or a script to the map.
struct TileCredit {
    QString before;
    QString linkText;
    /// Absent unless the link is an http or https address.
    QUrl link;
    QString after;

    static TileCredit parse(const QString& attribution);
    /// The credit as HTML: every text escaped, the one link with nothing but its address and
    /// a new window as its target.
    QString markup() const;
};

/// The content-security source that the tiles of `urlTemplate` load from, e.g.
/// "https://*.tile.example.org" for "https://{s}.tile.example.org/{z}/{x}/{y}.png"; empty when
/// the template names no http or https server.
QString tileImageSource(const QString& urlTemplate);

}  // namespace vantrel
