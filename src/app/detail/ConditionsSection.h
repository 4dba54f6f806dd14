#pragma once

#include <QGroupBox>
#include <vector>

#include "model/PersistedRide.h"
#include "model/UnitSystem.h"

class QFormLayout;

namespace vantrel {

/// "Conditions": the weather at start and end, wind, humidity and air quality from the start
/// snapshot, and the start and highest elevation. Each row appears only when its value says
/// something; a section without rows is not worth showing (`rowCount()` is 0).
class ConditionsSection : public QGroupBox {
    Q_OBJECT
  public:
    ConditionsSection(const PersistedRide& ride, const std::vector<RoutePoint>& route,
                      UnitSystem system, QWidget* parent = nullptr);
    int rowCount() const;

  private:
    void addWeatherRows(const PersistedRide& ride);
    void addElevationRows(const PersistedRide& ride, const std::vector<RoutePoint>& route);

    UnitSystem m_unitSystem;
    QFormLayout* m_form;
};

}  // namespace vantrel
