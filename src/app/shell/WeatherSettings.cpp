#include "app/shell/WeatherSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "model/Preferences.h"
#include "services/WeatherClient.h"

namespace vantrel {

namespace {

// Names the hosts actually asked, so that a user with a server of their own sees it here.
QString explanationText(Preferences& preferences) {
    auto settings = WeatherClient::Settings::fromPreferences(preferences);
    auto host = [](const std::string& url) {
        std::string name = WeatherClient::hostOf(url);
        return QString::fromStdString(name.empty() ? url : name);
    };
    return QStringLiteral(
               "After each import, the position (to about 100 m) and the date of the start and "
               "the end of every new activity are sent to %1 for the weather and to %2 for the "
               "air quality. Nothing else leaves this computer. The Geocode menu's Fetch "
               "Weather commands send the same for the activities they cover.")
        .arg(host(settings.weatherURL), host(settings.airQualityURL));
}

}  // namespace

WeatherSettings::WeatherSettings(Preferences& preferences, QWidget* parent)
    : QGroupBox(QStringLiteral("Weather"), parent),
      m_afterImport(new QCheckBox(QStringLiteral("Fetch weather for new activities after import"))),
      m_explanation(new QLabel(explanationText(preferences))) {
    auto* layout = new QVBoxLayout(this);
    m_afterImport->setAccessibleName(m_afterImport->text());
    m_afterImport->setChecked(preferences.boolean(kFetchWeatherAfterImportKey, true));
    connect(m_afterImport, &QCheckBox::toggled, this,
            [&preferences](bool on) { preferences.setBoolean(kFetchWeatherAfterImportKey, on); });
    m_explanation->setWordWrap(true);
    m_explanation->setForegroundRole(QPalette::PlaceholderText);
    m_explanation->setAccessibleName(QStringLiteral("What fetching weather sends"));
    m_afterImport->setAccessibleDescription(m_explanation->text());
    layout->addWidget(m_afterImport);
    layout->addWidget(m_explanation);
}

}  // namespace vantrel
