#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/widgets/AppContext.h"

namespace vantrel {

class DesktopNotifier;
class RideStore;
struct WatchBatch;

/// The window's activity watcher: the core watcher on a thread of its own, with a store
/// connection of its own, over the folders and devices the preferences name. It waits quietly
/// while `vantrel-cli watch` watches the same store. New activities are announced to the
/// window and in a desktop notification whose action brings them into view.
class AutoImport : public QObject {
    Q_OBJECT
  public:
    /// `store` is the window's connection, used on this thread to find the years of new
    /// activities.
    AutoImport(RideStore& store, AppContext context, QObject* parent = nullptr);
    ~AutoImport() override;

    /// Starts watching again with the preferences as they are now (nothing when nothing is to
    /// be watched).
    void restart();
    /// Stops watching, after the file in hand.
    void stop();
    bool isWatching() const { return m_thread.joinable(); }
    const QString& status() const { return m_status; }
    DesktopNotifier* notifier() const { return m_notifier; }

    /// "3 new activities from GARMIN", the singular for exactly one.
    static QString summaryText(int imported, const QString& placeName);

  signals:
    /// New activities are stored (their identifiers, with the calendar year of each).
    void activitiesArrived(const QList<qint64>& objectIDs, const QList<int>& years);
    /// The user asked to see the activities of a notification.
    void revealRequested(const QList<qint64>& objectIDs, const QList<int>& years);
    void statusChanged(const QString& status);

  private:
    struct Shared;

    void onBatch(const WatchBatch& batch);
    void setStatus(const QString& text);
    QList<int> yearsOf(const QList<qint64>& objectIDs);

    RideStore& m_store;
    AppContext m_context;
    DesktopNotifier* m_notifier;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    QString m_status;
    QStringList m_problems;
};

}  // namespace vantrel
