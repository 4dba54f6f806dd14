#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

#include "app/widgets/AppContext.h"
#include "model/Cancellation.h"
#include "model/PersistedRide.h"
#include "services/WeatherService.h"

class QMenu;
class QWidget;

namespace vantrel {

class RideStore;

/// The "Fetch Weather" runs and the window's weather state. A run looks up weather on a worker
/// thread with its own store connection; "Abort" stops it before the next activity. After an
/// import the new activities get their weather in the background, unless the user turned that
/// off ("fetchWeatherAfterImport").
class WeatherFlows : public QObject {
    Q_OBJECT
  public:
    WeatherFlows(RideStore& store, AppContext context, QWidget* window);

    void fetchMissing();
    void fetchAll();
    void fetchSelected(const std::vector<RideRef>& rides);
    /// The background run for activities an import added (store identifiers). While a run is
    /// under way they wait for it to end.
    void fetchAfterImport(const QList<qint64>& objectIDs);
    void abort();

    /// Adds the "Fetch Weather" group to the Geocode menu, for the activities selected.
    void addMenuGroup(QMenu* menu, const std::vector<RideRef>& selected);

    bool isRunning() const { return m_isRunning; }
    const QString& progressText() const { return m_progressText; }
    int current() const { return m_current; }
    int total() const { return m_total; }

  signals:
    void stateChanged();
    /// Activities got new snapshots; the window shows them afresh.
    void weatherChanged();

  private:
    void run(WeatherService::Scope scope, const std::vector<std::int64_t>& selection);
    void applyStatus(const WeatherStatus& status);
    void startWaitingRun();

    RideStore& m_store;
    AppContext m_context;
    bool m_isRunning = false;
    QString m_progressText;
    int m_current = 0;
    int m_total = 0;
    CancellationTokenRef m_task;
    int m_statusNumber = 0;
    /// New activities of imports that ended while a run was under way.
    std::vector<std::int64_t> m_waitingAfterImport;
};

}  // namespace vantrel
