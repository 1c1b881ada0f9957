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
    if (m.sinceStop >= 0) {
        if (m.network)
            return !m.answering || m.sinceStop >= kDrainHardMs ? Stop : None;
        const qint64 quiet = std::min({m.inCall, m.sinceProgress, m.sinceStop});
        return m.inCall >= 0 && (quiet >= kQuietMs || m.sinceStop >= kDrainHardMs) ? Stop : None;
    }
    return m.inCall >= 0 && std::min(m.inCall, m.sinceProgress) >= limits.timeoutMs ? Stalled
                                                                                    : None;
}

ScanGuard::ScanGuard(const Limits &limits, std::function<void()> cancel,
                     std::function<void(Reason)> giveUp)
    : m_limits(limits), m_cancel(std::move(cancel)), m_giveUp(std::move(giveUp))
{
}

ScanGuard::~ScanGuard()
{
    retire();
}

void ScanGuard::retire()
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
    m_progressAt = Clock::now();
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

bool ScanGuard::stopIsOld(bool alone)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopRequested && since(m_stopAt, Clock::now()) >= (alone ? kTakeAloneMs : kTakeMs);
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
        m_progressAt = Clock::now();
        m_progressMark = m_received;
    }
}

void ScanGuard::watch()
{
    ProcessWatch usage;
    m_received = m_progressMark = usage.look().received;
    bool ended = false; // the connections are cut, or the device cancelled
    Clock::time_point endedAt;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
        m_wake.wait_for(lock, std::chrono::milliseconds(kTickMs));
        if (m_quit)
            break;
        lock.unlock();
        const ProcessWatch::Look network = usage.look();
        const qint64 received = network.received;
        const qint64 memory = ProcessWatch::residentBytes();
        const bool foreignHost = !BackendHooks::refused().isEmpty();
        lock.lock();
        const Clock::time_point now = Clock::now();
        m_received = received;
        if (received - m_progressMark >= kProgressBytes) {
            m_progressAt = now;
            m_progressMark = received;
        }
        Moment m;
        m.sinceStop = m_stopRequested ? since(m_stopAt, now) : -1;
        m.inCall = m_inCall ? since(m_callAt, now) : -1;
        m.answering = network.receiving;
        m.sinceProgress = since(m_progressAt, now);
        m.memoryBytes = memory;
        m.foreignHost = foreignHost;
        m.network = usage.hadConnections();
        if (m_reason == None)
            m_reason = judge(m, m_limits);
        if (m_reason == None)
            continue;
        const bool overdue =
            ended && m_inCall && since(std::max(endedAt, m_callAt), now) >= kGraceMs;
        if (overdue || memory > m_limits.maxMemoryBytes / 2 * 3) {
            lock.unlock();
            m_giveUp(m_reason);
            return;
        }
        if (!ended) {
            // A stop ends the backend's requests only while none is being answered (looked at
            // again now: a backend between two requests has no connection for a moment).
            if (m_reason == Stop && m.network && judge(m, m_limits) != Stop)
                continue;
            lock.unlock();
            ended = ProcessWatch::cutConnections() > 0;
            if (!ended && !m.network) {
                m_cancel();
                ended = true;
            }
            lock.lock();
            endedAt = Clock::now();
        }
    }
}
