#include "app/flows/LocatingFlows.h"

#include <QTimer>
#include <QWidget>
#include <utility>

#include "app/flows/BackgroundTask.h"
#include "model/Preferences.h"
#include "services/FallbackGeocoder.h"

namespace vantrel {

LocatingFlows::LocatingFlows(RideStore& store, AppContext context, QWidget* window)
    : QObject(window), m_store(store), m_context(context), m_window(window) {}

void LocatingFlows::startGeocoding(bool replaceExisting) {
    run([replaceExisting](RideStore& store, const GeocodingService::Context& context,
                          const CancellationToken& token) {
        GeocodingService::startGeocoding(store, replaceExisting, context, token);
    });
}

void LocatingFlows::geocodeSelected(const RideRef& ride) {
    if (!ride) return;
    std::int64_t objectID = ride->objectID;
    run([objectID](RideStore& store, const GeocodingService::Context& context,
                   const CancellationToken& token) {
        for (const RideRef& candidate : store.allLiveActivities(false)) {
            if (candidate->objectID != objectID) continue;
            store.loadDetails(candidate);
            GeocodingService::geocodeSelected(store, *candidate, context, token);
        }
    });
}

void LocatingFlows::run(
    std::function<void(RideStore&, const GeocodingService::Context&, const CancellationToken&)>
        work) {
    auto token = std::make_shared<CancellationToken>();
    m_geocodeTask = token;
    QPointer<LocatingFlows> self(this);
    auto onStatus = [self](const GeocodeStatus& status) {
        if (!self) return;
        postToMain(self.data(), [self, status] {
            if (self) self->applyStatus(status);
        });
    };
    // The service answers its first status itself; the window shows the run at once anyway.
    applyStatus({true, {}, 0, 0, std::nullopt, false});
    runWithOwnStore<bool>(
        this, m_store.path(),
        [work = std::move(work), onStatus, token, shared = m_context](RideStore& store) {
            std::unique_ptr<Geocoder> geocoder = FallbackGeocoder::standard(shared.preferences);
            GeocodingService::Context context{*geocoder, shared.logger, onStatus};
            work(store, context, *token);
            return true;
        },
        [this](TaskOutcome<bool> outcome) {
            if (outcome.error) {
                applyStatus({false, *outcome.error, 0, 0, std::chrono::milliseconds(3000), true});
            }
        });
}

void LocatingFlows::abortGeocoding() {
    applyStatus(GeocodingService::abortGeocoding(m_geocodeTask));
}

void LocatingFlows::applyStatus(const GeocodeStatus& status) {
    m_isGeocoding = status.isGeocoding;
    m_progressText = QString::fromStdString(status.progress);
    m_current = status.current;
    m_total = status.total;
    int number = ++m_statusNumber;
    emit stateChanged();
    if (status.reloadSummaries) emit locatingFinished();
    if (!status.clearAfter) return;
    QTimer::singleShot(static_cast<int>(status.clearAfter->count()), this, [this, number] {
        if (number != m_statusNumber) return;
        applyStatus({});
    });
}

}  // namespace vantrel
