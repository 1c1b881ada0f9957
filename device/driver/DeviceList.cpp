#include "device/driver/DeviceList.h"

#include "device/common/ResultCode.h"

#include <sane/sane.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr qint64 kMaxConfigBytes = 256 * 1024;

QString unquoted(QString text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2);
    return text;
}

} // namespace

QList<QPair<QString, QString>> DeviceList::configuredUrls(const QStringList &texts)
{
    QList<QPair<QString, QString>> urls;
    static const QRegularExpression comment(QStringLiteral("\\s*[#;].*$"));
    for (const QString &text : texts) {
        bool inDevices = false;
        for (QString line : text.split(QLatin1Char('\n'))) {
            line = line.trimmed();
            if (line.startsWith(QLatin1Char('['))) {
                inDevices = line == QLatin1String("[devices]");
                continue;
            }
            const int equals = line.lastIndexOf(QLatin1Char('='));
            if (!inDevices || equals <= 0)
                continue;
            const QString name = unquoted(line.left(equals));
            QString value = line.mid(equals + 1);
            value.remove(comment);
            const QString url = unquoted(value.section(QLatin1Char(','), 0, 0));
            if (url.startsWith(QLatin1String("http://")) ||
                url.startsWith(QLatin1String("https://")))
                urls.append({name, url});
        }
    }
    return urls;
}

QStringList DeviceList::configFiles()
{
    QStringList dirs;
    const QString configDir = QFile::decodeName(qgetenv("SANE_CONFIG_DIR"));
    for (const QString &dir : configDir.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << dir;
    // Without a trailing colon SANE_CONFIG_DIR replaces the system folder.
    if (configDir.isEmpty() || configDir.endsWith(QLatin1Char(':')))
        dirs << QStringLiteral("/etc/sane.d");
    QStringList files;
    for (const QString &dir : qAsConst(dirs)) {
        files << dir + QStringLiteral("/airscan.conf");
        const QDir more(dir + QStringLiteral("/airscan.d"));
        for (const QString &name : more.entryList(QDir::Files, QDir::Name))
            files << more.filePath(name);
    }
    return files;
}

QString DeviceList::line(const QStringList &fields)
{
    QStringList clean;
    for (QString field : fields)
        clean << field.replace(QRegularExpression(QStringLiteral("[\\t\\r\\n]")),
                               QStringLiteral(" "));
    return clean.join(QLatin1Char('\t'));
}

int DeviceList::print()
{
    QStringList texts;
    for (const QString &path : configFiles()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            texts << QString::fromUtf8(file.read(kMaxConfigBytes));
    }
    const QList<QPair<QString, QString>> urls = configuredUrls(texts);

    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) {
        std::fprintf(stderr, "ScanConsoleApp: cannot start SANE\n");
        return ResultInternalError;
    }
    const SANE_Device **devices = nullptr;
    if (sane_get_devices(&devices, SANE_FALSE) == SANE_STATUS_GOOD && devices) {
        for (const SANE_Device **d = devices; *d; ++d) {
            const QString name = QString::fromUtf8((*d)->name);
            QString url;
            // sane-airscan names a device "airscan:<id>:<name>".
            const QString shown = name.section(QLatin1Char(':'), 2);
            if (name.startsWith(QLatin1String("airscan:"))) {
                for (const auto &entry : urls) {
                    if (entry.first == shown) {
                        url = entry.second;
                        break;
                    }
                }
            }
            const QString text =
                line({name, QString::fromUtf8((*d)->vendor), QString::fromUtf8((*d)->model),
                      QString::fromUtf8((*d)->type), url});
            std::printf("%s\n", text.toUtf8().constData());
        }
    }
    std::fflush(stdout);
    sane_exit();
    return ResultSuccess;
}
