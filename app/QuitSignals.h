#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a logout or shutdown, Ctrl+C, a closed terminal) as a request to
// quit, delivered on the GUI thread as Received(): the signal handler only writes the signal's
// number into a pipe, whose other end a socket notifier watches. One object per process, made by
// main; it puts the default actions back when it goes.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals &) = delete;
    QuitSignals &operator=(const QuitSignals &) = delete;

    // The first signal received; 0 while none has come.
    int received() const { return m_received; }

signals:
    void Received(int signal);

private:
    void onReadable();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    int m_received = 0;
};
