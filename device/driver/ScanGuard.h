#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Watches a scan from a thread of its own and ends the job when it must:
// - Stop: a stop was requested (SIGTERM, SIGINT, the console gone). Nothing more is asked of
//   the scanner, and everything it has sent is written: the guard ends the job at the first
//   moment when no answer is coming in (every request of the backend still waits for its
//   first byte: the scanner is scanning), so a page whose transfer has begun comes in whole;
//   after kDrainHardMs it does not wait for such a moment. The scanning thread then takes the
//   pages the backend holds (starting none kTakeMs after the stop, the console waiting 10 s for
//   the program, unless the console is gone). A backend without network connections (a USB
//   scanner) is cancelled once a waiting call has brought nothing for kQuietMs, so the page
//   being read is finished.
// - Stalled: a SANE call has brought no progress for the time-out (progress: data from SANE,
//   or kProgressBytes from the network, so a page trickling in byte by byte does not count).
// - Memory: the process holds more than its bound (sane-airscan fetches feeder pages ahead
//   without limit, and keeps a body in memory however long it is).
// - ForeignHost: the backend tried to reach a host other than the scanner (see BackendHooks).
// The guard ends a job by cutting the backend's network connections (sane-airscan then fails
// the job with an I/O error and deletes it on the scanner), and calls `cancel` (sane_cancel)
// only for a backend that never had one. sane_cancel from another thread does not do for
// sane-airscan: it waits for its pending request to the scanner (up to 10 s, for ever for a
// body that trickles) and throws away the page that request brings, a page the scanner has
// then sent in vain; and where the job has just ended it can leave sane_start waiting for ever.
// If a SANE call has not returned kGraceMs after the end (or memory grows to half again its
// bound), `giveUp` is called with the reason, from the guard's thread; it ends the process.
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
        bool answering = false;   // an answer from the network is coming in
        qint64 sinceProgress = 0; // since the page last advanced
        qint64 memoryBytes = 0;
        bool foreignHost = false;
        bool network = true; // the backend has had network connections
    };

    static constexpr qint64 kQuietMs = 300;
    static constexpr qint64 kDrainHardMs = 4000;
    static constexpr qint64 kTakeMs = 5000;
    static constexpr qint64 kTakeAloneMs = 60000; // the console is gone: nobody waits
    static constexpr qint64 kGraceMs = 2000;
    static constexpr qint64 kProgressBytes = 16 * 1024;
    static constexpr int kTickMs = 10;

    // Whether to end the job now, and why.
    static Reason judge(const Moment &moment, const Limits &limits);

    ScanGuard(const Limits &limits, std::function<void()> cancel,
              std::function<void(Reason)> giveUp);
    ~ScanGuard(); // retire()

    void start();
    // Ends the watch (before the session is closed: sane-airscan deletes the job then, on a
    // connection that must not be cut).
    void retire();
    void requestStop(); // any thread
    // Around every SANE call of the scanning thread; `delivered`: it brought page data.
    void enterCall();
    void leaveCall(bool delivered);
    // Why the guard ended the job; None while it has not.
    Reason reason() const { return m_reason; }
    // Whether a stop was asked for long enough ago that no further page is to be started:
    // kTakeMs, or kTakeAloneMs when `alone` (the console is gone).
    bool stopIsOld(bool alone);

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
    Clock::time_point m_stopAt, m_callAt, m_progressAt;
    qint64 m_received = 0;     // network bytes at the last look
    qint64 m_progressMark = 0; // network bytes when the page last advanced
    std::thread m_thread;
};
