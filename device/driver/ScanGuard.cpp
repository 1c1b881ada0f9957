#include "device/driver/ScanGuard.h"

#include "device/driver/BackendHooks.h"
#include "device/driver/ProcessWatch.h"

#include <algorithm>

ScanGuard::Reason ScanGuard::judge(const Moment &m, const Limits &limits)
{
    if (m.memoryBytes > limits.maxMemoryBytes)
        return Memory;
    if (m.foreignHost)
        return ForeignHost;
    if (m.inCall < 0)
        return None; // the scanning thread is busy with a page of its own
    if (m.sinceStop >= 0) {
        const qint64 quiet = std::min({m.inCall, m.sinceActivity, m.sinceStop});
        if (m.sinceStop >= kDrainHardMs)
            return Stop;
        return quiet >= (m.sinceStop >= kDrainMs ? kLastQuietMs : kQuietMs) ? Stop : None;
    }
    return std::min(m.inCall, m.sinceProgress) >= limits.timeoutMs ? Stalled : None;
}

ScanGuard::ScanGuard(const Limits &limits, std::function<void()> cancel,
                     std::function<void(Reason)> giveUp)
    : m_limits(limits), m_cancel(std::move(cancel)), m_giveUp(std::move(giveUp))
{
}

ScanGuard::~ScanGuard()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

qint64 ScanGuard::since(Clock::time_point then, Clock::time_point now)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - then).count();
}

void ScanGuard::start()
{
    m_activityAt = m_progressAt = Clock::now();
    m_thread = std::thread([this] { watch(); });
}

void ScanGuard::requestStop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_stopRequested) {
        m_stopRequested = true;
        m_stopAt = Clock::now();
    }
}

void ScanGuard::enterCall()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inCall = true;
    m_callAt = Clock::now();
}

void ScanGuard::leaveCall(bool delivered)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inCall = false;
    if (delivered) {
        m_activityAt = m_progressAt = Clock::now();
        m_progressMark = m_received;
    }
}

void ScanGuard::watch()
{
    ProcessWatch usage;
    m_received = m_progressMark = usage.receivedBytes();
    bool cancelled = false;
    Clock::time_point cancelledAt;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
        m_wake.wait_for(lock, std::chrono::milliseconds(kTickMs));
        if (m_quit)
            break;
        lock.unlock();
        const qint64 received = usage.receivedBytes();
        const qint64 memory = ProcessWatch::residentBytes();
        const bool foreignHost = !BackendHooks::refused().isEmpty();
        lock.lock();
        const Clock::time_point now = Clock::now();
        if (received != m_received)
            m_activityAt = now;
        m_received = received;
        if (received - m_progressMark >= kProgressBytes) {
            m_progressAt = now;
            m_progressMark = received;
        }
        if (cancelled) {
            if ((m_inCall && since(cancelledAt, now) >= kGraceMs) ||
                memory > m_limits.maxMemoryBytes / 2 * 3) {
                lock.unlock();
                m_giveUp(m_reason);
                return;
            }
            continue;
        }
        Moment m;
        m.sinceStop = m_stopRequested ? since(m_stopAt, now) : -1;
        m.inCall = m_inCall ? since(m_callAt, now) : -1;
        m.sinceActivity = since(m_activityAt, now);
        m.sinceProgress = since(m_progressAt, now);
        m.memoryBytes = memory;
        m.foreignHost = foreignHost;
        const Reason reason = judge(m, m_limits);
        if (reason == None)
            continue;
        m_reason = reason;
        cancelled = true;
        cancelledAt = now;
        lock.unlock();
        if (ProcessWatch::cutConnections() == 0)
            m_cancel();
        lock.lock();
    }
}
