#include "app/shell/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <optional>

#include "model/StoreLocation.h"

namespace vantrel {

namespace {

// A message is a 32-bit length and that many bytes of UTF-8 paths, each ended by a zero byte.
// The instance answers it with a confirmation, or with "busy" when it is reading as many
// connections as it will; together with the bounds on size and time this keeps stray or hostile
// clients from making the window hold more than a few megabytes.
constexpr char kConfirmation = '\x06';
constexpr char kBusy = '\x15';
constexpr int kRetryPauseMs = 50;
constexpr qint64 kHeaderBytes = sizeof(quint32);

QByteArray encode(const QStringList& files) {
    QByteArray payload;
    for (const QString& file : files) payload += file.toUtf8() + '\0';
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << static_cast<quint32>(payload.size());
    return message + payload;
}

QStringList decode(const QByteArray& payload) {
    QStringList files;
    for (const QByteArray& part : payload.split('\0')) {
        if (!part.isEmpty()) files << QString::fromUtf8(part);
    }
    return files;
}

/// A folder only this user can enter; the temporary folder is shared, so a name there could
/// otherwise be taken over by someone else.
QString privateFolder() {
    QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(runtime)) &&
        QDir(QString::fromLocal8Bit(runtime)).exists()) {
        return QString::fromLocal8Bit(runtime);
    }
    QString folder = QDir::tempPath() + QStringLiteral("/vantrel-%1").arg(getuid());
    QByteArray native = QFile::encodeName(folder);
    ::mkdir(native.constData(), 0700);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != getuid() || (info.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

}  // namespace

QString SingleInstance::serverName(const std::filesystem::path& storePath) {
    QString folder = privateFolder();
    if (folder.isEmpty()) return {};
    std::error_code error;
    // A server URL is no path: made "canonical" it would depend on the folder started from.
    std::filesystem::path store = isServerLocation(storePath.string())
                                      ? storePath
                                      : std::filesystem::weakly_canonical(storePath, error);
    if (error) store = storePath;
    QByteArray hash = QCryptographicHash::hash(QFile::encodeName(QString::fromStdString(store)),
                                               QCryptographicHash::Sha256)
                          .toHex()
                          .left(16);
    return folder + QStringLiteral("/vantrel-") + QString::fromLatin1(hash);
}

namespace {

void drop(QLocalSocket* socket) {
    socket->abort();
    socket->deleteLater();
}

/// One attempt: the instance's one-byte answer, or nothing when it did not give one in time.
std::optional<char> deliver(const QString& name, const QByteArray& message, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) return std::nullopt;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) return std::nullopt;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs)) return std::nullopt;
    }
    return socket.read(1).at(0);
}

}  // namespace

bool SingleInstance::handOver(const QString& name, const QStringList& files, int timeoutMs) {
    if (name.isEmpty()) return false;
    QByteArray message = encode(files);
    if (message.size() - kHeaderBytes > kMaxMessageBytes) return false;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int left = static_cast<int>(timeoutMs - clock.elapsed());
        if (left <= 0) return false;
        std::optional<char> answer = deliver(name, message, left);
        if (answer != kBusy) return answer == kConfirmation;
        QThread::msleep(kRetryPauseMs);
    }
}

SingleInstance::SingleInstance(const QString& name, QObject* parent, int readTimeoutMs)
    : QObject(parent),
      m_name(name),
      m_server(new QLocalServer(this)),
      m_readTimeoutMs(readTimeoutMs) {
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen() {
    if (m_name.isEmpty()) return false;
    if (m_server->listen(m_name)) return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError) return false;
    // Someone answering owns the name; a socket file nobody answers on is left from a crash.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(500)) return false;
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

// Each connection delivers one message within the read time and is closed after the answer.
void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // Qt buffers whatever arrives; the bound keeps that to one message.
        socket->setReadBufferSize(kHeaderBytes + kMaxMessageBytes);
        if (m_connections >= kMaxConnections) {
            socket->write(QByteArray(1, kBusy));
            socket->disconnectFromServer();
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++m_connections;
        connect(socket, &QObject::destroyed, this, [this] { --m_connections; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        QTimer::singleShot(m_readTimeoutMs, socket, [socket] { drop(socket); });
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    if (socket->state() != QLocalSocket::ConnectedState) return;
    if (socket->bytesAvailable() < kHeaderBytes) return;
    QDataStream header(socket->peek(kHeaderBytes));
    quint32 size = 0;
    header >> size;
    if (size > kMaxMessageBytes) return drop(socket);
    if (socket->bytesAvailable() < kHeaderBytes + size) return;
    socket->read(kHeaderBytes);
    QStringList files = decode(socket->read(size));
    socket->write(QByteArray(1, kConfirmation));
    socket->disconnectFromServer();
    emit filesReceived(files);
}

}  // namespace vantrel
