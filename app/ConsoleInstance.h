#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One console per user. The first console a user starts holds a lock beside the page store (in
// the user's cache folder) and listens on a local socket; a console started while it runs asks
// it, through the socket, to bring its window to the front, and ends. The lock and the socket
// are the user's own, so two users of one machine each run their console. A lock left by a
// console that died is taken over.
class ConsoleInstance : public QObject
{
    Q_OBJECT

public:
    // `folder`: where the lock (and, when its path is short enough, the socket) lives.
    explicit ConsoleInstance(const QString &folder, QObject *parent = nullptr);
    ~ConsoleInstance() override;

    // True for the first console: the lock is taken and the socket listens. Otherwise the
    // running console has been asked to show itself; answered() says whether it did.
    bool claim();
    bool answered() const { return m_answered; }

    // The socket's path for `folder`: inside it when the path fits a Unix socket address (107
    // bytes), else in a private folder of this user under the temporary folder.
    static QString socketPath(const QString &folder);

signals:
    // A second console asked for this one's window.
    void RaiseRequested();

private:
    void onConnection();

    const QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_answered = false;
};
