#include "app/QuitSignals.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int Signals[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe's writing end, for the handler (which can reach nothing else).
volatile sig_atomic_t quitPipe = -1;

extern "C" void onQuitSignal(int signal)
{
    const int saved = errno;
    const char number = char(signal);
    if (quitPipe >= 0 && ::write(quitPipe, &number, 1) < 0) {
        // A full pipe already holds a request.
    }
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning() << "QuitSignals: no pipe; SIGTERM, SIGINT and SIGHUP end the console at once";
        return;
    }
    quitPipe = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::onReadable);
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : Signals)
        sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals()
{
    for (int signal : Signals)
        std::signal(signal, SIG_DFL);
    quitPipe = -1;
    for (int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void QuitSignals::onReadable()
{
    char numbers[16];
    const ssize_t n = ::read(m_pipe[0], numbers, sizeof numbers);
    for (ssize_t i = 0; i < n; ++i) {
        if (m_received == 0)
            m_received = numbers[i];
        emit Received(numbers[i]);
    }
}
