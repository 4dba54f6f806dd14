#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>

class QLocalServer;
class QLocalSocket;

namespace vantrel {

/// Keeps one running window per store: the first instance listens on a local socket in the
/// user's runtime folder, and a later `vantrel FILE...` hands its files over and exits, so that
/// "Open With" never starts a second window on the same store.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    /// The socket for a store: "vantrel-<hash of the store path>" in $XDG_RUNTIME_DIR, or, when
    /// that is unset, in a private "vantrel-<uid>" folder of the temporary folder. Empty when
    /// no safe folder exists (one instance then runs per start).
    static QString serverName(const std::filesystem::path& storePath);

    /// Hands `files` (absolute paths) to the instance listening on `name`; true once it has
    /// confirmed them, false when nobody listens or it does not answer within `timeoutMs`.
    static bool handOver(const QString& name, const QStringList& files, int timeoutMs = 5000);

    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Starts listening; a socket left behind by an instance that died is replaced. False when
    /// another instance answers on the name or the socket cannot be made.
    bool listen();

  signals:
    /// Another start handed these files over (possibly none: it only asks to be shown).
    void filesReceived(const QStringList& files);

  private:
    void accept();
    void readFrom(QLocalSocket* socket);

    QString m_name;
    QLocalServer* m_server;
};

}  // namespace vantrel
