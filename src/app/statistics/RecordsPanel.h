#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <vector>

#include "analysis/PersonalRecords.h"
#include "model/UnitSystem.h"
#include "model/Uuid.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace vantrel {

class PersistentLogger;
class PowerCurveChart;
class ProgressRow;

/// The personal records of the history as a table (record, value, activity, date) with a
/// choice of kinds and years, and the best power curve of the chosen cycling activities below it.
/// The routes are measured in the background on a store connection of the
/// panel's own, through the records cache, with a progress bar and a way to stop; choosing
/// other kinds only re-picks the records from what was measured.
class RecordsPanel : public QWidget {
    Q_OBJECT
  public:
    /// A fill that finds bests too fast to be records says so in `logger`.
    RecordsPanel(std::filesystem::path storePath, UnitSystem units, PersistentLogger& logger,
                 QWidget* parent = nullptr);
    ~RecordsPanel() override;

    void setUnitSystem(UnitSystem units);
    /// Measures again what changed in the store (a running fill is stopped and restarted).
    void reload();
    /// Stops a running fill; what it measured stays cached.
    void cancel();

    bool isLoading() const;
    const std::vector<PersonalRecord>& records() const { return m_records; }
    QTableWidget* table() const { return m_table; }
    QComboBox* kindChoice() const { return m_kinds; }
    QComboBox* yearChoice() const { return m_years; }
    PowerCurveChart* powerCurve() const { return m_powerCurve; }

  signals:
    /// A record's row was clicked or activated: open the activity that holds it (and show
    /// where in it the record was set).
    void activityRequested(const vantrel::Uuid& rideID, vantrel::RecordKind kind);
    /// A fill ended (finished, stopped or failed).
    void loaded();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Fill;

    QWidget* buildControls();
    void fillKindChoice();
    PersonalRecords::KindFilter chosenFilter() const;
    /// The measured activities of the chosen year (all of them for "All Years").
    std::vector<PersonalRecords::ActivityBests> chosenActivities() const;
    void fillYearChoice();
    QWidget* buildPowerCurve();
    void start();
    void finish(std::optional<std::vector<PersonalRecords::ActivityBests>> activities,
                const std::optional<std::string>& error);
    void showProgress();
    void showRecords();
    void setMessage(const QString& text);
    void openRow(int row);

    std::filesystem::path m_storePath;
    PersistentLogger& m_logger;
    UnitSystem m_units;
    QComboBox* m_kinds = nullptr;
    QComboBox* m_years = nullptr;
    QWidget* m_powerCurveBox = nullptr;
    PowerCurveChart* m_powerCurve = nullptr;
    QPushButton* m_stop = nullptr;
    ProgressRow* m_progress = nullptr;
    QLabel* m_message = nullptr;
    QTableWidget* m_table = nullptr;
    QTimer* m_progressTimer = nullptr;
    std::shared_ptr<Fill> m_fill;
    bool m_started = false;
    bool m_reloadWhenDone = false;
    std::vector<PersonalRecords::ActivityBests> m_activities;
    std::vector<PersonalRecord> m_records;
};

}  // namespace vantrel
