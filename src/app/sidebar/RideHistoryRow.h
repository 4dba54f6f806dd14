#pragma once

#include <QString>
#include <string>
#include <vector>

#include "model/PersistedRide.h"
#include "model/UnitSystem.h"

class QFontMetrics;
class QPainter;
class QStyleOptionViewItem;

namespace vantrel {

/// What one activity's row in a year list shows: its date, its kind, its figures and the
/// description read out by screen readers.
struct RideHistoryRow {
    struct Figure {
        std::string symbol;
        QString text;
    };

    QString date;
    QString typeName;  ///< empty when the record has no kind
    std::string typeSymbol;
    std::vector<Figure> firstFigures;   ///< duration, distance, location
    std::vector<Figure> secondFigures;  ///< elevation gain, heart rates
    QString accessibleDescription;

    static RideHistoryRow make(const PersistedRide& ride, UnitSystem system);
    /// A row without an activity kind leaves out the kind's line rather than a blank one.
    static int height(bool withKind);
    void paint(QPainter& painter, const QStyleOptionViewItem& option) const;
    /// The texts of one line of figures as drawn in `width` pixels: whole while they fit, the
    /// first one that does not shortened with "…", and none after it.
    static std::vector<QString> fitted(const std::vector<Figure>& figures,
                                       const QFontMetrics& metrics, int width);
};

}  // namespace vantrel
