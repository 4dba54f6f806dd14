#pragma once

#include <QDialog>

#include "app/widgets/AppContext.h"
#include "model/UnitSystem.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace vantrel {

class AutoImportSection;
class RideStore;

/// The settings window: unit system, log level, the store's location (a PostgreSQL server, used
/// from the next start), the way to the diagnostics window and the deletion of every activity.
/// A modeless dialog: given the main window as parent it opens centred over it, and Escape
/// closes it.
class SettingsWindow : public QDialog {
    Q_OBJECT
  public:
    SettingsWindow(RideStore& store, AppContext context, QWidget* parent = nullptr);

    QComboBox* unitSystemChoice() const { return m_unitSystem; }
    QComboBox* logLevelChoice() const { return m_logLevel; }
    QLineEdit* storeURLField() const { return m_storeURL; }
    QLabel* connectionStatus() const { return m_connectionStatus; }
    AutoImportSection* autoImportSection() const { return m_autoImport; }
    void deleteAllActivities();
    /// Opens the store at the URL in the field on a worker thread and shows the outcome.
    void testConnection();

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
    QWidget* buildStoreLocation();

    RideStore& m_store;
    AppContext m_context;
    QComboBox* m_unitSystem;
    QComboBox* m_logLevel;
    QLineEdit* m_storeURL = nullptr;
    QLabel* m_connectionStatus = nullptr;
    AutoImportSection* m_autoImport = nullptr;
};

}  // namespace vantrel
