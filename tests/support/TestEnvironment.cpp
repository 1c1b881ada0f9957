#include "tests/support/TestEnvironment.h"

#include "app/Startup.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QSettings>
#include <QTranslator>
#include <QWidget>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace TestEnvironment {

namespace {

// Answers for loopback only; any other address is "unreachable" without sending anything.
const char kFakePing[] = R"(#!/bin/sh
for last; do :; done
case "$last" in
  127.0.0.1|localhost)
    echo "PING 127.0.0.1 (127.0.0.1) 1(29) bytes of data."
    echo "9 bytes from 127.0.0.1: icmp_seq=1 ttl=64"
    exit 0 ;;
esac
echo "1 packets transmitted, 0 received, 100% packet loss"
exit 1
)";

} // namespace

QString appDir()
{
    return QCoreApplication::applicationDirPath();
}

QString configDir()
{
    return appDir() + QStringLiteral("/config");
}

QString operatorConfigDir()
{
    return ParamSetting::operatorFolder();
}

int runAsOtherUser(unsigned uid, const std::function<int()> &action)
{
    if (::geteuid() != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        // Groups first: once the user id is dropped they can no longer be changed.
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(uid)) != 0 || ::setuid(uid_t(uid)) != 0)
            ::_exit(127);
        ::_exit(action());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
}

QString fakeBinDir()
{
    return appDir() + QStringLiteral("/fakebin");
}

QString writeFakeProgram(const QString &name, const QString &script)
{
    QDir().mkpath(fakeBinDir());
    const QString path = fakeBinDir() + QLatin1Char('/') + name;
    TestFiles::writeFile(path, script.toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther);
    return path;
}

void resetConfig()
{
    QDir(operatorConfigDir()).removeRecursively();
    QDir(configDir()).removeRecursively();
    QDir().mkpath(configDir());
    QSettings s(configDir() + QStringLiteral("/ParamSetting.ini"), QSettings::IniFormat);
    s.setValue(QStringLiteral("/PRINTER/IP"), QStringLiteral("127.0.0.1"));
    s.sync();
}

void resetRecord()
{
    ParamSetting &p = ParamSetting::instance;
    p.initParamSetting();
    p.user_model = 1;
    p.initUserModel(1);
    p.log_file_name.clear();
    p.setPrinterAddress(QStringLiteral("127.0.0.1"));
}

void clearTempImages()
{
    QDir dir(QStringLiteral("/tmp/tempimages"));
    if (dir.exists()) {
        // Pipes and dangling links are "system" entries; a link is removed, never followed.
        const QStringList entries = dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot |
                                                  QDir::Hidden | QDir::System);
        for (const QString &entry : entries) {
            QFileInfo info(dir.filePath(entry));
            if (info.isDir() && !info.isSymLink())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
    } else {
        ::mkdir("/tmp/tempimages", 0700); // as the scan runner makes it
    }
}

// The folder right under /tmp that holds `path` ("/tmp/ci/build/x" gives "/tmp/ci"), if any.
static QByteArray topUnderTmp(const QByteArray &path)
{
    const QByteArray clean = QFile::encodeName(QDir::cleanPath(QFile::decodeName(path)));
    if (!clean.startsWith("/tmp/"))
        return QByteArray();
    const int slash = clean.indexOf('/', 5);
    return slash < 0 ? clean : clean.left(slash);
}

void isolateTmp()
{
    const QString own = qEnvironmentVariable("SCANCONSOLE_PRIVATE_TMP");
    if (own.isEmpty())
        return;
    QDir(own).removeRecursively();
    const QByteArray path = QFile::encodeName(own);
    // A build tree under /tmp (a clone there) would vanish under the new /tmp: the folders under
    // /tmp that hold the program, its working directory and its own /tmp are bound back in.
    char exe[4096] = {}, cwd[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    QList<QByteArray> keep;
    for (const QByteArray &held : {QByteArray(exe, int(qMax<ssize_t>(0, length))),
                                   QByteArray(::getcwd(cwd, sizeof cwd) ? cwd : ""), path}) {
        const QByteArray top = topUnderTmp(held);
        if (!top.isEmpty() && !keep.contains(top))
            keep << top;
    }
    if (QDir().mkpath(own) && ::chmod(path, 01777) == 0 && ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) {
        QList<int> folders;
        for (const QByteArray &top : keep)
            folders << ::open(top.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (!folders.contains(-1) && ::mount(path, "/tmp", nullptr, MS_BIND, nullptr) == 0) {
            for (int i = 0; i < keep.size(); ++i) {
                const QByteArray from = "/proc/self/fd/" + QByteArray::number(folders.at(i));
                ::mkdir(keep.at(i).constData(), 0700);
                if (::mount(from.constData(), keep.at(i).constData(), nullptr, MS_BIND, nullptr) !=
                    0)
                    qFatal("cannot keep %s in the test's own /tmp", keep.at(i).constData());
                ::close(folders.at(i));
            }
            return;
        }
        qFatal("cannot give the test a /tmp of its own");
    }
    // Held until the program ends.
    const int lock = ::open("/tmp/veldrin-scan-tempimages-tests.lock",
                            O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0)
        qFatal("no /tmp of its own, and no lock on the shared one");
}

void prepare(QApplication &app)
{
    writeFakeProgram(QStringLiteral("ping"), QString::fromLatin1(kFakePing));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(fakeBinDir()) + ':' + path);

    static QTranslator qtCatalogue;
    static QTranslator ownCatalogue;
    Startup::installTranslators(app, qtCatalogue, ownCatalogue);
    Startup::applyFont(app);

    resetConfig();
    resetRecord();
}

void screenshot(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("SCANCONSOLE_SCREENSHOTS");
    if (widget && !folder.isEmpty() && QDir().mkpath(folder))
        widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace TestEnvironment
