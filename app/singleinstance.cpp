#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {
const QByteArray kRaise = QByteArrayLiteral("raise\n");
// How long a later start tries to reach a first program that holds the lock
// but is still starting up.
constexpr int kReachMilliseconds = 5000;
} // namespace

QString SingleInstance::basePath(const QString& settingsFile)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    const QFileInfo store(settingsFile);
    const QString storePath = store.exists() ? store.canonicalFilePath() : store.absoluteFilePath();
    const QByteArray key = QByteArray::number(::getuid()) + '\0' + storePath.toUtf8();
    // Short, so that the socket's path stays within the system's limit.
    return folder + QStringLiteral("/pellamont-") + QString::number(::getuid()) + QLatin1Char('-') +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16));
}

SingleInstance::SingleInstance(const QString& settingsFile, QObject* parent) : QObject(parent)
{
    const QString base = basePath(settingsFile);
    m_lock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    // Never stale by age: a program runs for days. A dead holder is found
    // by its process number all the same.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        // A socket left by a killed program would keep the name taken.
        QLocalServer::removeServer(base);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
        // Without the socket the program still runs; a later start then
        // ends with nothing brought to the front.
        m_server.listen(base);
        return;
    }
    // A lock that cannot be written at all (a read-only folder) must not
    // keep the program from starting.
    if (m_lock->error() != QLockFile::LockFailedError)
        return;
    m_first = false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kReachMilliseconds) {
        QLocalSocket socket;
        socket.connectToServer(base);
        if (socket.waitForConnected(1000)) {
            socket.write(kRaise);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(100);
    }
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::takeConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(kRaise))
                Q_EMIT raiseRequested();
        });
    }
}
