#pragma once

#include <atomic>
#include <functional>
#include <thread>

// SIGTERM and SIGINT as a request to stop, taken by a thread of its own: the constructor blocks
// both signals in the calling thread, which every thread started later inherits (libsane's
// backends start their own), and watch() starts the thread that waits for them and then calls
// `onStop` there, outside any signal handler, where it may lock and call into SANE.
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();

    void watch(std::function<void()> onStop);
    bool requested() const { return m_requested; }

    // Makes the end of the parent (the console) a stop request: the kernel sends SIGTERM when
    // the thread that started this process ends (PR_SET_PDEATHSIG), and SIGPIPE is ignored, so
    // that writing to a console that is gone fails (EPIPE) instead of ending the process. Call
    // in the main thread before any other thread exists. False when the parent was gone
    // already (this process then belongs to init, and no signal will come).
    static bool followParent();
    // Whether the parent followParent() saw has ended since.
    static bool parentGone();

private:
    std::atomic<bool> m_requested{false};
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

// Ends the process with a result code when a blocking step takes longer than allowed, since a
// SANE call that waits for a silent device cannot be interrupted.
class Watchdog
{
public:
    // Calls `onExpiry` from its own thread after `seconds` unless disarmed before.
    Watchdog(int seconds, std::function<void()> onExpiry);
    ~Watchdog(); // disarms

private:
    std::atomic<bool> m_disarmed{false};
    std::thread m_thread;
};
