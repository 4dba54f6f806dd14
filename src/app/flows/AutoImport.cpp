#include "app/flows/AutoImport.h"

#include <QPointer>
#include <mutex>

#include "app/flows/BackgroundTask.h"
#include "app/flows/DesktopNotifier.h"
#include "model/Date.h"
#include "model/RideStore.h"
#include "watch/ActivityWatcher.h"
#include "watch/WatchSettings.h"

namespace vantrel {

/// What the window and the watcher's thread share.
struct AutoImport::Shared {
    std::mutex mutex;
    ActivityWatcher* watcher = nullptr;
    bool stopRequested = false;
};

namespace {

QString watchingText(const WatchOptions& options) {
    int folders = static_cast<int>(options.folders.size());
    QString what =
        folders == 1 ? QStringLiteral("1 folder") : QStringLiteral("%1 folders").arg(folders);
    if (folders == 0) return QStringLiteral("Watching for devices plugged in.");
    if (options.devices) return QStringLiteral("Watching %1 and devices plugged in.").arg(what);
    return QStringLiteral("Watching %1.").arg(what);
}

WatchOptions optionsFromPreferences(const AppContext& context) {
    WatchSettings settings = WatchSettings::load(context.preferences);
    WatchOptions options(context.logger);
    options.folders = settings.watchedFolders;
    options.devices = settings.importFromDevices;
    options.deviceActivityFolders = settings.deviceActivityFolders;
    options.holderName = QStringLiteral("Vantrel").toStdString();
    return options;
}

}  // namespace

AutoImport::AutoImport(RideStore& store, AppContext context, QObject* parent)
    : QObject(parent), m_store(store), m_context(context), m_notifier(new DesktopNotifier(this)) {
    connect(m_notifier, &DesktopNotifier::showRequested, this,
            [this](const QList<qint64>& objectIDs) {
                emit revealRequested(objectIDs, yearsOf(objectIDs));
            });
}

AutoImport::~AutoImport() {
    stop();
}

QString AutoImport::summaryText(int imported, const QString& placeName) {
    return imported == 1 ? QStringLiteral("1 new activity from %1").arg(placeName)
                         : QStringLiteral("%1 new activities from %2").arg(imported).arg(placeName);
}

void AutoImport::stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopRequested = true;
        if (m_shared->watcher) m_shared->watcher->stop();
    }
    m_thread.join();
}

void AutoImport::restart() {
    stop();
    m_problems.clear();
    WatchOptions options = optionsFromPreferences(m_context);
    if (options.folders.empty() && !options.devices) return setStatus(QStringLiteral("Off."));
    m_shared = std::make_shared<Shared>();
    QPointer<AutoImport> self(this);
    auto post = [self](const std::function<void(AutoImport&)>& update) {
        if (!self) return;
        postToMain(self.data(), [self, update] {
            if (self) update(*self);
        });
    };
    WatchCallbacks callbacks;
    callbacks.batch = [post](const WatchBatch& batch) {
        post([batch](AutoImport& owner) { owner.onBatch(batch); });
    };
    callbacks.started = [post, text = watchingText(options)] {
        post([text](AutoImport& owner) { owner.setStatus(text); });
    };
    callbacks.waiting = [post](const std::string& holder) {
        QString who =
            holder.empty() ? QStringLiteral("Another watcher") : QString::fromStdString(holder);
        post([who](AutoImport& owner) {
            owner.setStatus(QStringLiteral("%1 imports into this store; this window leaves it "
                                           "to it.")
                                .arg(who));
        });
    };
    callbacks.problem = [post](const std::string& message) {
        post([text = QString::fromStdString(message)](AutoImport& owner) {
            owner.m_problems << text;
            owner.setStatus(owner.m_status);
        });
    };
    m_thread =
        std::thread([shared = m_shared, location = m_store.path(), options, callbacks, post] {
            try {
                std::unique_ptr<RideStore> store = RideStore::open(location);
                ActivityWatcher watcher(*store, options, callbacks);
                {
                    std::lock_guard lock(shared->mutex);
                    if (shared->stopRequested) return;
                    shared->watcher = &watcher;
                }
                watcher.run();
                std::lock_guard lock(shared->mutex);
                shared->watcher = nullptr;
            } catch (const std::exception& error) {
                post([text = QString::fromStdString(error.what())](AutoImport& owner) {
                    owner.setStatus(text);
                });
            }
        });
}

void AutoImport::setStatus(const QString& text) {
    // Problems stay below what the watcher does until it starts over.
    QString base = text.section(QLatin1Char('\n'), 0, 0);
    m_status =
        m_problems.isEmpty() ? base : base + QLatin1Char('\n') + m_problems.join(QLatin1Char('\n'));
    emit statusChanged(m_status);
}

void AutoImport::onBatch(const WatchBatch& batch) {
    QList<qint64> objectIDs(batch.objectIDs.begin(), batch.objectIDs.end());
    QString place = QString::fromStdString(batch.placeName);
    if (!objectIDs.isEmpty()) emit activitiesArrived(objectIDs, yearsOf(objectIDs));
    QStringList lines;
    for (const auto& [name, description] : batch.failures)
        lines << QStringLiteral("Could not import %1: %2")
                     .arg(QString::fromStdString(name), QString::fromStdString(description));
    QString summary =
        objectIDs.isEmpty()
            ? QStringLiteral("Could not import %1 from %2")
                  .arg(lines.size() == 1 ? QStringLiteral("1 file")
                                         : QStringLiteral("%1 files").arg(lines.size()),
                       place)
            : summaryText(static_cast<int>(objectIDs.size()), place);
    m_notifier->notify(summary, lines.join(QLatin1Char('\n')), objectIDs);
}

QList<int> AutoImport::yearsOf(const QList<qint64>& objectIDs) {
    QList<int> years;
    try {
        std::vector<RideRef> all = m_store.allRecords(false);
        for (qint64 id : objectIDs) {
            auto found = std::find_if(all.begin(), all.end(),
                                      [id](const RideRef& ride) { return ride->objectID == id; });
            years << (found != all.end() ? localYear((*found)->date) : localYear(now()));
        }
    } catch (const std::exception&) {
        for (qsizetype i = 0; i < objectIDs.size(); ++i) years << localYear(now());
    }
    return years;
}

}  // namespace vantrel
