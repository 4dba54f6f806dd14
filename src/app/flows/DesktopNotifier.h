#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

namespace vantrel {

/// Desktop notifications through the session bus's org.freedesktop.Notifications service,
/// with an action that brings the activities they announce into view. Without a session bus
/// or a notification service nothing is shown and nothing is said: a notification is a
/// courtesy, the activities are in the window either way.
class DesktopNotifier : public QObject {
    Q_OBJECT
  public:
    explicit DesktopNotifier(QObject* parent = nullptr);
    ~DesktopNotifier() override;

    /// Shows `summary` with `body` (plain text); with `objectIDs`, clicking it (or its "Show"
    /// action) asks for those activities.
    void notify(const QString& summary, const QString& body, const QList<qint64>& objectIDs);
    bool hasBus() const { return m_bus.isConnected(); }

  signals:
    void showRequested(const QList<qint64>& objectIDs);

  private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

  private:
    QDBusConnection m_bus;
    QHash<uint, QList<qint64>> m_shown;
};

}  // namespace vantrel
