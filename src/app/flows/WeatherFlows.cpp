#include "app/flows/WeatherFlows.h"

#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <utility>

#include "app/flows/BackgroundTask.h"
#include "model/Preferences.h"

namespace vantrel {

namespace {

using Scope = WeatherService::Scope;

constexpr std::chrono::milliseconds kShowTaskError{3000};

std::vector<std::int64_t> objectIDsOf(const std::vector<RideRef>& rides) {
    std::vector<std::int64_t> ids;
    ids.reserve(rides.size());
    for (const RideRef& ride : rides) ids.push_back(ride->objectID);
    return ids;
}

}  // namespace

WeatherFlows::WeatherFlows(RideStore& store, AppContext context, QWidget* window)
    : QObject(window), m_store(store), m_context(context) {}

void WeatherFlows::fetchMissing() {
    run(Scope::missing, {});
}

void WeatherFlows::fetchAll() {
    run(Scope::all, {});
}

void WeatherFlows::fetchSelected(const std::vector<RideRef>& rides) {
    if (rides.empty()) return;
    run(Scope::selected, objectIDsOf(rides));
}

void WeatherFlows::fetchAfterImport(const QList<qint64>& objectIDs) {
    if (objectIDs.isEmpty()) return;
    if (!m_context.preferences.boolean(kFetchWeatherAfterImportKey, true)) return;
    m_waitingAfterImport.insert(m_waitingAfterImport.end(), objectIDs.begin(), objectIDs.end());
    startWaitingRun();
}

void WeatherFlows::startWaitingRun() {
    if (m_task || m_waitingAfterImport.empty()) return;
    run(Scope::imported, std::exchange(m_waitingAfterImport, {}));
}

void WeatherFlows::abort() {
    if (m_task) m_task->cancel();
    // The user asked for quiet: activities waiting for the background run wait for the next
    // import or a menu command instead.
    m_waitingAfterImport.clear();
    applyStatus({});
}

void WeatherFlows::addMenuGroup(QMenu* menu, const std::vector<RideRef>& selected) {
    bool idle = !m_task;
    menu->addSection(QStringLiteral("Fetch Weather"));
    menu->addAction(QStringLiteral("&Fetch Weather for Missing"), this, &WeatherFlows::fetchMissing)
        ->setEnabled(idle);
    menu->addAction(QStringLiteral("Fetch Weather &Again for All"), this, &WeatherFlows::fetchAll)
        ->setEnabled(idle);
    menu->addAction(QStringLiteral("Fetch Weather for Se&lected"), this,
                    [this, selected] { fetchSelected(selected); })
        ->setEnabled(idle && !selected.empty());
}

void WeatherFlows::run(Scope scope, const std::vector<std::int64_t>& selection) {
    if (m_task) return;
    auto token = std::make_shared<CancellationToken>();
    m_task = token;
    QPointer<WeatherFlows> self(this);
    auto onStatus = [self](const WeatherStatus& status) {
        if (!self) return;
        postToMain(self.data(), [self, status] {
            if (self) self->applyStatus(status);
        });
    };
    // The service answers its first status itself; the window shows the run at once anyway.
    applyStatus({true, {}, 0, 0, std::nullopt, false});
    runWithOwnStore<bool>(
        this, m_store.path(),
        [scope, selection, onStatus, token, shared = m_context](RideStore& store) {
            WeatherClient client(WeatherClient::Settings::fromPreferences(shared.preferences));
            WeatherService::Context context{client, onStatus, {}, shared.logger};
            WeatherService::fetchWeather(store, scope, selection, context, *token);
            return true;
        },
        [this](TaskOutcome<bool> outcome) {
            m_task.reset();
            if (outcome.error) applyStatus({false, *outcome.error, 0, 0, kShowTaskError, true});
            startWaitingRun();
            emit stateChanged();
        });
}

void WeatherFlows::applyStatus(const WeatherStatus& status) {
    m_isRunning = status.isRunning;
    m_progressText = QString::fromStdString(status.progress);
    m_current = status.current;
    m_total = status.total;
    int number = ++m_statusNumber;
    emit stateChanged();
    if (status.changed) emit weatherChanged();
    if (!status.clearAfter) return;
    QTimer::singleShot(static_cast<int>(status.clearAfter->count()), this, [this, number] {
        if (number != m_statusNumber) return;
        applyStatus({});
    });
}

}  // namespace vantrel
