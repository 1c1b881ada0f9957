#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Watches a scan from a thread of its own and ends it when it must: it cuts the backend's
// network connections (sane-airscan then ends the job with an I/O error and deletes it on the
// scanner), or calls `cancel` (sane_cancel) where there are none. sane_cancel alone is not
// enough for sane-airscan: it waits for its pending request to the scanner (up to 10 s, for
// ever for a body that trickles) and throws away the page that request brings, a page the
// scanner has then sent in vain. The scan must end when:
// - Stop: a stop was requested (SIGTERM, SIGINT, the console gone). The page in hand is
//   finished and pages the backend already holds are taken: the scan is cancelled only once
//   nothing arrives for kQuietMs (no page data from SANE, no byte from the network), so a page
//   whose transfer has begun comes in whole. After kDrainMs a shorter quiet moment will do,
//   after kDrainHardMs nothing is waited for.
// - Stalled: a SANE call has brought no progress for the time-out (progress: data from SANE,
//   or kProgressBytes from the network, so a page trickling in byte by byte does not count).
// - Memory: the process holds more than its bound (sane-airscan fetches feeder pages ahead
//   without limit, and keeps a body in memory however long it is).
// - ForeignHost: the backend tried to reach a host other than the scanner (see BackendHooks).
// If the SANE call does not return within kGraceMs of the end (or memory keeps growing to
// half again its bound), `giveUp` is called with the reason, from the guard's thread; it is
// expected to end the process.
class ScanGuard
{
public:
    enum Reason
    {
        None,
        Stop,
        Stalled,
        Memory,
        ForeignHost,
    };
    struct Limits
    {
        qint64 timeoutMs = 30000;
        qint64 maxMemoryBytes = qint64(1024) << 20;
    };
    // What the guard sees at one moment; times in milliseconds, -1 for "not so".
    struct Moment
    {
        qint64 sinceStop = -1;    // since the stop request
        qint64 inCall = -1;       // how long the current SANE call has lasted
        qint64 sinceActivity = 0; // since page data or a network byte last arrived
        qint64 sinceProgress = 0; // since the page last advanced
        qint64 memoryBytes = 0;
        bool foreignHost = false;
    };

    static constexpr qint64 kQuietMs = 300;
    static constexpr qint64 kDrainMs = 3000;
    static constexpr qint64 kLastQuietMs = 20;
    static constexpr qint64 kDrainHardMs = 4000;
    static constexpr qint64 kGraceMs = 2000;
    static constexpr qint64 kProgressBytes = 16 * 1024;
    static constexpr int kTickMs = 20;

    // Whether to cancel now, and why.
    static Reason judge(const Moment &moment, const Limits &limits);

    ScanGuard(const Limits &limits, std::function<void()> cancel,
              std::function<void(Reason)> giveUp);
    ~ScanGuard(); // ends the thread

    void start();
    void requestStop(); // any thread
    // Around every SANE call of the scanning thread; `delivered`: it brought page data.
    void enterCall();
    void leaveCall(bool delivered);
    // Why the guard cancelled the scan; None while it has not.
    Reason reason() const { return m_reason; }

private:
    using Clock = std::chrono::steady_clock;
    static qint64 since(Clock::time_point then, Clock::time_point now);
    void watch();

    const Limits m_limits;
    const std::function<void()> m_cancel;
    const std::function<void(Reason)> m_giveUp;
    std::atomic<Reason> m_reason{None};

    std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    bool m_quit = false;
    bool m_stopRequested = false;
    bool m_inCall = false;
    Clock::time_point m_stopAt, m_callAt, m_activityAt, m_progressAt;
    qint64 m_received = 0;     // network bytes at the last look
    qint64 m_progressMark = 0; // network bytes when the page last advanced
    std::thread m_thread;
};
