#pragma once

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

// Polls whether the printer answers: one ping of the record's printer address per cycle,
// reported as UpdateStatus(0) (answered) or UpdateStatus(1) (no answer or no address).
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

    // True when one ping of the address got an answer in time.
    bool pingOk(QString address);

signals:
    void UpdateStatus(int status);

protected:
    void run() override;

private:
    // Sleeps for the cycle pause or until Finish(), whichever comes first.
    void pause();

    std::atomic_bool m_finish;
    std::atomic_int m_cyclePause;
    QMutex m_pauseMutex;
    QWaitCondition m_wake;
};
