#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;

namespace vantrel {

class Preferences;

/// The settings' "Weather" section: the switch for fetching weather after each import, and
/// what that sends where.
class WeatherSettings : public QGroupBox {
    Q_OBJECT
  public:
    explicit WeatherSettings(Preferences& preferences, QWidget* parent = nullptr);

    QCheckBox* afterImportSwitch() const { return m_afterImport; }
    QLabel* explanation() const { return m_explanation; }

  private:
    QCheckBox* m_afterImport;
    QLabel* m_explanation;
};

}  // namespace vantrel
