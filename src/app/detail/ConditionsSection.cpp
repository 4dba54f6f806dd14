#include "app/detail/ConditionsSection.h"

#include <QColor>
#include <QFormLayout>
#include <QLabel>
#include <algorithm>
#include <cmath>

#include "app/widgets/StatRow.h"
#include "model/WeatherSnapshot.h"

namespace vantrel {

namespace {

// Above this the wind is worth mentioning; a calm day shows no wind row.
constexpr double kWindThresholdKmh = 5.0;

QString temperatureText(const WeatherSnapshot& snapshot, UnitSystem system) {
    QString text = QString::fromStdString(formatTemperature(snapshot.temperatureCelsius, system));
    std::string description = conditionDescription(snapshot);
    if (!description.empty()) text += QStringLiteral("  ") + QString::fromStdString(description);
    return text;
}

QColor colourOf(const Rgba& rgba, const QPalette& palette) {
    if (rgba.secondary) return palette.color(QPalette::PlaceholderText);
    return QColor::fromRgbF(static_cast<float>(rgba.red), static_cast<float>(rgba.green),
                            static_cast<float>(rgba.blue), static_cast<float>(rgba.alpha));
}

}  // namespace

ConditionsSection::ConditionsSection(const PersistedRide& ride,
                                     const std::vector<RoutePoint>& route, UnitSystem system,
                                     QWidget* parent)
    : QGroupBox(QStringLiteral("Conditions"), parent),
      m_unitSystem(system),
      m_form(StatRow::makeForm(this)) {
    addWeatherRows(ride);
    addElevationRows(ride, route);
}

int ConditionsSection::rowCount() const {
    return m_form->rowCount();
}

void ConditionsSection::addWeatherRows(const PersistedRide& ride) {
    std::optional<WeatherSnapshot> start = ride.startWeather();
    std::optional<WeatherSnapshot> end = ride.endWeather();
    for (auto [label, snapshot] : {std::pair{"Start", &start}, std::pair{"End", &end}}) {
        if (!*snapshot || !std::isfinite((*snapshot)->temperatureCelsius)) continue;
        StatRow::add(m_form, conditionSymbol(**snapshot), QString::fromLatin1(label),
                     temperatureText(**snapshot, m_unitSystem));
    }
    if (!start) return;
    if (start->windSpeedKmh > kWindThresholdKmh) {
        StatRow::add(m_form, "wind", QStringLiteral("Wind"),
                     QString::fromStdString(formatWindSpeed(start->windSpeedKmh, m_unitSystem)));
    }
    if (start->humidity >= 1) {
        StatRow::add(m_form, "humidity", QStringLiteral("Humidity"),
                     QStringLiteral("%1%").arg(start->humidity));
    }
    if (start->aqi) {
        QString text = QStringLiteral("%1 %2")
                           .arg(*start->aqi)
                           .arg(QString::fromStdString(aqiCategory(*start).value_or("")));
        QLabel* value = StatRow::add(m_form, "aqi.medium", QStringLiteral("Air Quality"), text);
        QPalette palette = value->palette();
        palette.setColor(QPalette::WindowText, colourOf(aqiColor(*start), palette));
        value->setPalette(palette);
    }
}

void ConditionsSection::addElevationRows(const PersistedRide& ride,
                                         const std::vector<RoutePoint>& route) {
    if (ride.startElevation) {
        StatRow::add(m_form, "flag", QStringLiteral("Start Elevation"),
                     QString::fromStdString(formatElevation(*ride.startElevation, m_unitSystem)));
    }
    if (route.empty()) return;
    auto highest = std::max_element(route.begin(), route.end(), [](const auto& a, const auto& b) {
        return a.altitude < b.altitude;
    });
    StatRow::add(m_form, "mountain.2", QStringLiteral("Highest Elevation"),
                 QString::fromStdString(formatElevation(highest->altitude, m_unitSystem)));
}

}  // namespace vantrel
