#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "app/widgets/AppContext.h"
#include "model/Cancellation.h"
#include "model/PersistedRide.h"
#include "services/GeocodingService.h"

class QWidget;

namespace vantrel {

class RideStore;

/// The Geocode menu's runs and the window's locating state. A run names places on a worker
/// thread with its own store connection; "Abort" stops it before the next activity.
class LocatingFlows : public QObject {
    Q_OBJECT
  public:
    LocatingFlows(RideStore& store, AppContext context, QWidget* window);

    void startGeocoding(bool replaceExisting);
    void geocodeSelected(const RideRef& ride);
    void abortGeocoding();

    bool isGeocoding() const { return m_isGeocoding; }
    const QString& geocodeProgress() const { return m_progressText; }
    int geocodeCurrent() const { return m_current; }
    int geocodeTotal() const { return m_total; }

  signals:
    void stateChanged();
    /// A run ended; the window reloads its year summaries.
    void locatingFinished();

  private:
    void applyStatus(const GeocodeStatus& status);
    void run(
        std::function<void(RideStore&, const GeocodingService::Context&, const CancellationToken&)>
            work);

    RideStore& m_store;
    AppContext m_context;
    QWidget* m_window;
    bool m_isGeocoding = false;
    QString m_progressText;
    int m_current = 0;
    int m_total = 0;
    CancellationTokenRef m_geocodeTask;
    int m_statusNumber = 0;
};

}  // namespace vantrel
