#pragma once

#include "device/driver/OptionChoice.h"

#include <sane/sane.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <mutex>

// One open SANE device and the SANE session around it (sane_init ... sane_exit). Options are
// looked up by their well-known names each time, since setting one may change the others.
// cancel() may be called from another thread at any moment (the stop-signal thread); everything
// else belongs to the thread that opened the device.
class SaneDevice
{
public:
    SaneDevice();
    ~SaneDevice(); // end()

    SANE_Status init();
    SANE_Status open(const QString &name);
    bool isOpen() const;

    // The option's index, or -1 when the device has no active option of that name.
    int find(const char *name) const;
    QStringList strings(int option) const; // a string option's offered values
    OptionChoice::Numbers numbers(int option) const;
    bool isFixed(int option) const;
    SANE_Unit unit(int option) const;
    double number(int option) const;
    QString string(int option) const;
    SANE_Status setString(int option, const QString &value);
    SANE_Status setNumber(int option, double value);

    SANE_Status start();
    SANE_Status parameters(SANE_Parameters *parameters) const;
    SANE_Status read(QByteArray *buffer); // fills `buffer` with what one sane_read gives
    // Ends the scan or batch; safe from another thread while this one waits in start/read.
    void cancel();
    void close();
    // Closes the device and ends the session (sane_exit); nothing happens a second time.
    void end();

private:
    const SANE_Option_Descriptor *descriptor(int option) const;

    bool m_initialised = false;
    mutable std::mutex m_handleMutex;
    SANE_Handle m_handle = nullptr;
};
