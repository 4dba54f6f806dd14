#include "app/LocatingFlows.h"

#include <QTimer>
#include <QWidget>

#include "app/BackgroundTask.h"
#include "app/CoreFlows.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

LocatingFlows::LocatingFlows(RideStore& store, QWidget* window)
    : QObject(window), m_store(store), m_window(window) {}

void LocatingFlows::startGeocoding(bool replaceExisting) {
    setState(true,
             replaceExisting ? QStringLiteral("Re-geocoding all activities…")
                             : QStringLiteral("Scanning for activities without location…"),
             0, 0);
    auto cancel = std::make_shared<CancellationToken>();
    m_geocodeTask = cancel;
    int run = ++m_runNumber;
    QPointer<LocatingFlows> self(this);
    CoreFlows::Progress progress = [self, cancel](int current, int total) {
        if (!self) return;
        postToMain(self.data(), [self, cancel, current, total] {
            if (!self || cancel->isCancelled()) return;
            self->setState(true, QStringLiteral("Geocoding %1 of %2…").arg(current).arg(total),
                           current, total);
        });
    };
    runWithOwnStore<CoreFlows::LocatingResult>(
        this, m_store.path(),
        [replaceExisting, progress, cancel](RideStore& store) {
            return CoreFlows::locateActivities(store, replaceExisting, progress, cancel);
        },
        [this, run](TaskOutcome<CoreFlows::LocatingResult> outcome) {
            int processed = outcome.value.processed;
            PersistentLogger::shared().log(LogLevel::info, "Geocode",
                                           "Geocoded " + std::to_string(processed) + " ride(s)");
            if (run == m_runNumber) {
                QString text = outcome.error ? QString::fromStdString(*outcome.error)
                                             : QStringLiteral("Done — geocoded %1 ride%2.")
                                                   .arg(processed)
                                                   .arg(processed == 1 ? "" : "s");
                setState(false, text, 0, 0);
                clearTextLater(3000);
            }
            emit locatingFinished();
        });
}

void LocatingFlows::geocodeSelected(const RideRef& ride) {
    if (!ride) return;
    setState(true, QStringLiteral("Geocoding selected activity…"), 0, 0);
    int run = ++m_runNumber;
    std::int64_t objectID = ride->objectID;
    runWithOwnStore<std::optional<std::string>>(
        this, m_store.path(),
        [objectID](RideStore& store) -> std::optional<std::string> {
            for (const RideRef& candidate : store.allLiveActivities(false)) {
                if (candidate->objectID != objectID) continue;
                store.loadDetails(candidate);
                return CoreFlows::locateActivity(store, candidate);
            }
            return std::nullopt;
        },
        [this, run](TaskOutcome<std::optional<std::string>> outcome) {
            if (run != m_runNumber) return;
            QString text = outcome.error   ? QString::fromStdString(*outcome.error)
                           : outcome.value ? QStringLiteral("Location: ") +
                                                 QString::fromStdString(*outcome.value)
                                           : QStringLiteral("No location found");
            setState(true, text, 0, 0);
            QTimer::singleShot(2000, this, [this, run] {
                if (run != m_runNumber) return;
                setState(false, {}, 0, 0);
                emit locatingFinished();
            });
        });
}

void LocatingFlows::abortGeocoding() {
    if (m_geocodeTask) m_geocodeTask->cancel();
    m_geocodeTask.reset();
    setState(false, {}, 0, 0);
}

void LocatingFlows::setState(bool running, const QString& text, int current, int total) {
    m_isGeocoding = running;
    m_progressText = text;
    m_current = current;
    m_total = total;
    emit stateChanged();
}

void LocatingFlows::clearTextLater(int milliseconds) {
    int run = m_runNumber;
    QTimer::singleShot(milliseconds, this, [this, run] {
        if (run == m_runNumber && !m_isGeocoding) setState(false, {}, 0, 0);
    });
}

}  // namespace vantrel
