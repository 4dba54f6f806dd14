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
    /// confirmed them, false when nobody listens or it does not answer within `timeoutMs`. An
    /// instance busy with other starts is asked again until then.
    static bool handOver(const QString& name, const QStringList& files, int timeoutMs = 5000);

    /// Connections read at once; a start beyond them is told to ask again.
    static constexpr int kMaxConnections = 4;
    /// Largest message: far more paths than any file manager hands over at once.
    static constexpr quint32 kMaxMessageBytes = 1024 * 1024;

    /// `readTimeoutMs`: how long a connection may take to deliver its message.
    explicit SingleInstance(const QString& name, QObject* parent = nullptr,
                            int readTimeoutMs = 5000);
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
    int m_readTimeoutMs;
    int m_connections = 0;
};

}  // namespace vantrel
