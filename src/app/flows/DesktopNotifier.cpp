#include "app/flows/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>

namespace vantrel {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kShowAction = QStringLiteral("default");

// The session bus named in the environment or at its usual place. Never started on demand:
// without a desktop session there is nobody to read a notification.
QString sessionBusAddress() {
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty()) return address;
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

QDBusConnection connectToSessionBus(const void* owner) {
    QString name = QStringLiteral("vantrel-notifications-%1").arg(quintptr(owner), 0, 16);
    QString address = sessionBusAddress();
    if (address.isEmpty()) return QDBusConnection(name);
    return QDBusConnection::connectToBus(address, name);
}

}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent), m_bus(connectToSessionBus(this)) {
    if (!m_bus.isConnected()) return;
    m_bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

DesktopNotifier::~DesktopNotifier() {
    QDBusConnection::disconnectFromBus(m_bus.name());
}

void DesktopNotifier::notify(const QString& summary, const QString& body,
                             const QList<qint64>& objectIDs) {
    if (!m_bus.isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QStringList actions;
    if (!objectIDs.isEmpty()) actions << kShowAction << QStringLiteral("Show");
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("vantrel"));
    // Servers that read markup would take "<" in a file name for a tag.
    call << QStringLiteral("Vantrel") << uint(0) << QStringLiteral("vantrel") << summary
         << body.toHtmlEscaped() << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, objectIDs](QDBusPendingCallWatcher* finished) {
                QDBusPendingReply<uint> reply = *finished;
                // No notification service: the error is the answer, and nothing is said.
                if (!reply.isError() && !objectIDs.isEmpty())
                    m_shown.insert(reply.value(), objectIDs);
                finished->deleteLater();
            });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action) {
    if (action != kShowAction || !m_shown.contains(id)) return;
    emit showRequested(m_shown.value(id));
}

void DesktopNotifier::onClosed(uint id, uint) {
    m_shown.remove(id);
}

}  // namespace vantrel
