#include "app/widgets/DisplayFormat.h"

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

QString endTime(Date start, Date end) {
    qint64 days = localDateTime(start).date().daysTo(localDateTime(end).date());
    QString time = shortTime(end);
    return days > 0 ? time + QStringLiteral(" +%1").arg(days) : time;
}

QString heartRate(double bpm) {
    if (bpm == 0) return QStringLiteral("-- bpm");
    return QString::asprintf("%.0f bpm", bpm);
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString counted(qint64 count, const QString& singular, const QString& plural) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? singular : plural);
}

QString activityCount(qint64 count) {
    return counted(count, QStringLiteral("activity"), QStringLiteral("activities"));
}

}  // namespace vantrel::DisplayFormat
