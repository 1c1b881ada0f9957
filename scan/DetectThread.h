#pragma once

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

// Polls what the scanner says, reported as UpdateStatus with a ScannerStatusPoll::Status: an eSCL
// scanner ("escl:" address or URL) is asked for its ScannerStatus at most every 5 s; another
// network device is pinged every cycle (0 answered, 1 no answer or no address); a SANE device
// on this computer is reported as such. Paused, it neither polls nor reports (during a scan,
// whose own requests must not be crossed). A status is reported only while the address it was
// asked for is still the chosen one.
class DetectThread : public QThread
{
    Q_OBJECT

public:
    DetectThread();
    ~DetectThread() override;

    // Asks the loop to end after the status of its current cycle; also cuts its pause short.
    void Finish();
    // The pause between cycles (2000 ms). Only tests shorten it. Set before start().
    void setCyclePause(int ms);
    // The least pause between two status requests to an eSCL scanner (kStatusPauseMs). Only
    // tests shorten it. Set before start().
    void setStatusPause(int ms);
    // Stops and resumes the polling (from any thread); a poll under way still reports.
    void setPaused(bool paused);
    // Ends the pause before the next cycle at once (from any thread): another scanner was
    // chosen, and its status should not wait for the old one's pause.
    void pollNow();
    static constexpr int kStatusPauseMs = 5000;

    // True when one ping of the address got an answer in time.
    bool pingOk(QString address);

signals:
    void UpdateStatus(int status);

protected:
    void run() override;

private:
    // The status of the device at `address` (its eSCL root URL `esclUrl`, if it has one).
    int poll(const QString &address, const QString &esclUrl);
    // Sleeps for the cycle pause or until Finish(), whichever comes first.
    void pause(int ms);

    std::atomic_bool m_finish;
    std::atomic_int m_cyclePause;
    std::atomic_int m_statusPause{kStatusPauseMs};
    std::atomic_bool m_paused{false};
    bool m_pollNow = false; // guarded by m_pauseMutex
    QMutex m_pauseMutex;
    QWaitCondition m_wake;
};
