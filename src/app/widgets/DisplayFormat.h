#pragma once

#include <QDateTime>
#include <QString>

#include "model/Date.h"
#include "model/UnitSystem.h"

namespace vantrel::DisplayFormat {

QDateTime localDateTime(Date date);
/// Date only, as the lists show it ("Mar 14, 2025").
QString shortDate(Date date);
/// Long date style without time ("March 14, 2025").
QString longDate(Date date);
/// Time only, short style ("7:15 AM").
QString shortTime(Date date);
/// The time of `end`, short style, followed by " +1" (" +2", …) when it falls on a later
/// calendar day than `start`, so that an activity past midnight does not seem to end before it
/// began ("2:59 AM +1").
QString endTime(Date start, Date end);
/// "%.0f bpm", or "-- bpm" when there is no value.
QString heartRate(double bpm);
QString text(const std::string& value);
/// A count with its noun, singular only for exactly 1: "1 activity", "0 activities".
QString counted(qint64 count, const QString& singular, const QString& plural);
QString activityCount(qint64 count);

}  // namespace vantrel::DisplayFormat
