#pragma once

#include <QWidget>

#include "model/UnitSystem.h"

class QComboBox;

namespace vantrel {

class RideStore;

/// The settings window: unit system, log level, the way to the diagnostics window and the
/// deletion of every activity.
class SettingsWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SettingsWindow(RideStore& store, QWidget* parent = nullptr);

    QComboBox* unitSystemChoice() const { return m_unitSystem; }
    QComboBox* logLevelChoice() const { return m_logLevel; }
    void deleteAllActivities();

  signals:
    void unitSystemChanged(UnitSystem system);
    void openDiagnosticsRequested();
    /// The store was changed here; stands in for the store's change notification in this process.
    void storeChanged();

  private:
    QWidget* buildUnitSystem();
    QWidget* buildLogLevel();
    QWidget* buildDiagnostics();
    QWidget* buildDataManagement();

    RideStore& m_store;
    QComboBox* m_unitSystem;
    QComboBox* m_logLevel;
};

}  // namespace vantrel
