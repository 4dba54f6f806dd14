#include "app/shell/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include "model/StoreLocation.h"

namespace vantrel {

namespace {

// A message is a 32-bit length and that many bytes of UTF-8 paths, each ended by a zero byte.
// The bound keeps a stray client from making the window hold unbounded memory.
constexpr quint32 kMaxMessageBytes = 16 * 1024 * 1024;
constexpr char kConfirmation = '\x06';

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

bool SingleInstance::handOver(const QString& name, const QStringList& files, int timeoutMs) {
    if (name.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(encode(files));
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    }
    return socket.read(1) == QByteArray(1, kConfirmation);
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name), m_server(new QLocalServer(this)) {
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

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    if (socket->bytesAvailable() < static_cast<qint64>(sizeof(quint32))) return;
    QDataStream header(socket->peek(sizeof(quint32)));
    quint32 size = 0;
    header >> size;
    if (size > kMaxMessageBytes) return socket->abort();
    if (socket->bytesAvailable() < static_cast<qint64>(sizeof(quint32) + size)) return;
    socket->read(sizeof(quint32));
    QStringList files = decode(socket->read(size));
    socket->write(QByteArray(1, kConfirmation));
    socket->flush();
    emit filesReceived(files);
}

}  // namespace vantrel
