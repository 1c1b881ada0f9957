#include "device/driver/SaneConfigDir.h"

#include <QDir>
#include <QFile>

const char SaneConfigDir::kDllConf[] = "airscan\n";
const char SaneConfigDir::kAirscanConf[] = "[options]\n"
                                           "discovery = disable\n"
                                           "ws-discovery = off\n"
                                           "[debug]\n"
                                           "enable = false\n";

SaneConfigDir::SaneConfigDir() : m_dir(QDir::tempPath() + QStringLiteral("/ScanConsoleApp-XXXXXX"))
{
}

bool SaneConfigDir::create(QString *error)
{
    if (!m_dir.isValid()) {
        *error = QStringLiteral("cannot create a SANE configuration folder: %1")
                     .arg(m_dir.errorString());
        return false;
    }
    const QPair<const char *, const char *> files[] = {{"dll.conf", kDllConf},
                                                       {"airscan.conf", kAirscanConf}};
    for (const auto &file : files) {
        QFile f(m_dir.filePath(QLatin1String(file.first)));
        const QByteArray text(file.second);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.flush()) {
            *error = QStringLiteral("cannot write %1: %2").arg(f.fileName(), f.errorString());
            return false;
        }
    }
    // No trailing colon: the system folder is not searched for dll.conf.
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(m_dir.path()));
    return true;
}
