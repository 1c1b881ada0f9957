#include "app/ConsoleInstance.h"

#include "scan/PageFolder.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char Request[] = "raise\n";
const char Answer[] = "shown\n";
// A Unix socket's path has room for 107 bytes.
const int MaxSocketPath = 100;

} // namespace

ConsoleInstance::ConsoleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder)
{
}

ConsoleInstance::~ConsoleInstance()
{
    if (m_server)
        m_server->close();
}

QString ConsoleInstance::socketPath(const QString &folder)
{
    const QString inside = QDir(folder).filePath(QStringLiteral("console.socket"));
    if (QFile::encodeName(inside).size() <= MaxSocketPath)
        return inside;
    // Named after the folder, in a folder nobody else may enter (made ours, or refused).
    const QString own =
        QDir::tempPath() + QStringLiteral("/veldrin-scan-") + QString::number(geteuid());
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(QDir::cleanPath(folder)),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(24);
    return PageFolder::prepare(own) ? own + QLatin1Char('/') + QLatin1String(hash) + ".socket"
                                    : inside;
}

bool ConsoleInstance::claim()
{
    QDir().mkpath(m_folder);
    const QString lockPath = QDir(m_folder).filePath(QStringLiteral("console.lock"));
    // Only a regular file can be a lock (reading a pipe would block).
    struct stat st;
    const QByteArray encoded = QFile::encodeName(lockPath);
    if (lstat(encoded.constData(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_size > 4096))
        ::unlink(encoded.constData());
    m_lock = std::make_unique<QLockFile>(lockPath);
    m_lock->setStaleLockTime(0); // only a dead owner makes it stale
    const QString socket = socketPath(m_folder);
    if (m_lock->tryLock(0)) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(socket); // left by a console that died
        if (!m_server->listen(socket))
            qWarning() << "ConsoleInstance: cannot listen on" << socket << m_server->errorString();
        connect(m_server, &QLocalServer::newConnection, this, &ConsoleInstance::onConnection);
        return true;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        // No lock to be had (a cache folder it cannot write): the console runs unguarded.
        qWarning() << "ConsoleInstance: cannot lock" << lockPath;
        return true;
    }
    QLocalSocket other;
    other.connectToServer(socket);
    if (other.waitForConnected(5000)) {
        other.write(Request);
        other.flush();
        m_answered = other.waitForBytesWritten(5000) && other.waitForReadyRead(5000) &&
                     other.readLine() == Answer;
    }
    return false;
}

void ConsoleInstance::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine(64) == Request) {
                emit RaiseRequested();
                socket->write(Answer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}
