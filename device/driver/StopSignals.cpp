#include "device/driver/StopSignals.h"

#include <chrono>
#include <csignal>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

StopSignals::StopSignals()
{
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::~StopSignals()
{
    m_quit = true;
    if (m_thread.joinable())
        m_thread.join();
}

void StopSignals::watch(std::function<void()> onStop)
{
    m_thread = std::thread([this, onStop] {
        const sigset_t set = stopSet();
        const timespec pause{0, 100 * 1000 * 1000};
        while (!m_quit) {
            if (sigtimedwait(&set, nullptr, &pause) > 0) {
                m_requested = true;
                onStop();
                return;
            }
        }
    });
}

namespace {

std::atomic<pid_t> g_parent{0};

} // namespace

bool StopSignals::followParent()
{
    std::signal(SIGPIPE, SIG_IGN);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have ended before the request above; the new parent is then init.
    g_parent = getppid();
    return g_parent != 1;
}

bool StopSignals::parentGone()
{
    return g_parent != 0 && getppid() != g_parent;
}

Watchdog::Watchdog(int seconds, std::function<void()> onExpiry)
{
    m_thread = std::thread([this, seconds, onExpiry] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!m_disarmed) {
            if (std::chrono::steady_clock::now() >= deadline) {
                onExpiry();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
}

Watchdog::~Watchdog()
{
    m_disarmed = true;
    m_thread.join();
}
