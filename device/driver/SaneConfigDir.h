#pragma once

#include <QString>
#include <QTemporaryDir>

// The scan program's own SANE configuration folder, in force for this process while the object
// lives (SANE_CONFIG_DIR): libsane loads only the sane-airscan backend, and sane-airscan
// discovers nothing (neither DNS-SD nor WS-Discovery), so a scan by address sends nothing to
// the network but its requests to that address.
class SaneConfigDir
{
public:
    SaneConfigDir();
    // False with the reason in `error` when the folder or its files cannot be written.
    bool create(QString *error);
    QString path() const { return m_dir.path(); }

    static const char kDllConf[];
    static const char kAirscanConf[];

private:
    QTemporaryDir m_dir;
};
