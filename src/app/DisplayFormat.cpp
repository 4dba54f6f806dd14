#include "app/DisplayFormat.h"

#include <QLocale>

namespace vantrel::DisplayFormat {

QDateTime localDateTime(Date date) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(unixFromDate(date) * 1000.0));
}

QString shortDate(Date date) {
    return QLocale().toString(localDateTime(date).date(), QStringLiteral("MMM d, yyyy"));
}

QString longDate(Date date) {
    return QLocale().toString(localDateTime(date).date(), QStringLiteral("MMMM d, yyyy"));
}

QString shortTime(Date date) {
    // Some locales' short format still carries seconds; the detail view shows minutes only.
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    format.remove(QStringLiteral(":ss"));
    return QLocale().toString(localDateTime(date).time(), format);
}

QString heartRate(double bpm) {
    if (bpm == 0) return QStringLiteral("-- bpm");
    return QString::asprintf("%.0f bpm", bpm);
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace vantrel::DisplayFormat
