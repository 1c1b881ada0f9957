// Operators sharing one machine: nothing the console writes goes through a link or replaces
// another user's file, the destination folder is the operator's own or named in a warning, and
// every work-log record also reaches the system journal. Where the test runs as root, the
// "other operator" is a throwaway user in a child process (TestEnvironment::runAsOtherUser).
#include "account/LogExport.h"
#include "app/ScanTargetCheck.h"
#include "documents/PageWriter.h"
#include "documents/PdfPageWriter.h"
#include "log/JournalRecord.h"
#include "log/LogOutput.h"
#include "pages/FileCommit.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using TestFiles::readAll;
using TestFiles::writeFile;

namespace {

const unsigned kOther = 64123; // the other operator: a user id nobody has

} // namespace

class TestSharedMachine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_private;
    QString m_victim; // the operator's private file, which must never change

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Puts `what` at `target`: "none", "own" (the operator's file), "link" (to the victim),
    // "dangling" (a link to nothing), "other" (a file of the other operator), "folder".
    // Returns false when the entry cannot be made here (another user needs root).
    bool plant(const QString &what, const QString &target)
    {
        const QByteArray t = QFile::encodeName(target);
        const QByteArray victim = QFile::encodeName(m_victim);
        if (what == "own")
            return writeFile(target, "own");
        if (what == "link")
            return ::symlink(victim.constData(), t.constData()) == 0;
        if (what == "dangling")
            return ::symlink("/nonexistent/veldrin", t.constData()) == 0;
        if (what == "folder")
            return QDir().mkdir(target);
        if (what == "other") {
            // The other operator may write the folder (as in a shared folder) and plants a file.
            ::chmod(QFile::encodeName(m_dir.path()).constData(), 0777);
            return TestEnvironment::runAsOtherUser(kOther, [&t] {
                       const int fd = ::open(t.constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
                       return fd >= 0 && ::write(fd, "other", 5) == 5 ? 0 : 1;
                   }) == 0;
        }
        return true;
    }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_victim = m_private.filePath("thesis.txt");
        QVERIFY(writeFile(m_victim, "private"));
        QFile::setPermissions(m_victim, QFile::ReadOwner | QFile::WriteOwner);
    }
    void cleanup()
    {
        QVERIFY2(readAll(m_victim) == "private", "the operator's private file was changed");
        QFile::remove(m_victim);
    }

    // The one mechanism every writer uses: what is at the final name, what each rule does with it.
    void fileCommit_data()
    {
        QTest::addColumn<QString>("there");
        QTest::addColumn<int>("existing");
        QTest::addColumn<QString>("written"); // "" (nothing written), "page.jpg", "page-1.jpg"
        const struct
        {
            const char *there;
            const char *replaceOwn, *orFree, *keepOrFree;
        } rows[] = {
            {"none", "page.jpg", "page.jpg", "page.jpg"},
            {"own", "page.jpg", "page.jpg", "page-1.jpg"},
            {"link", "", "page-1.jpg", "page-1.jpg"},
            {"dangling", "", "page-1.jpg", "page-1.jpg"},
            {"other", "", "page-1.jpg", "page-1.jpg"},
            {"folder", "", "page-1.jpg", "page-1.jpg"},
        };
        for (const auto &row : rows) {
            QTest::addRow("%s, replace own", row.there)
                << row.there << int(FileCommit::ReplaceOwn) << row.replaceOwn;
            QTest::addRow("%s, replace own or next free", row.there)
                << row.there << int(FileCommit::ReplaceOwnOrFree) << row.orFree;
            QTest::addRow("%s, keep or next free", row.there)
                << row.there << int(FileCommit::KeepOrFree) << row.keepOrFree;
        }
    }
    void fileCommit()
    {
        QFETCH(QString, there);
        QFETCH(int, existing);
        QFETCH(QString, written);
        const QString target = path("page.jpg");
        if (!plant(there, target))
            QSKIP("another user's file needs the test to run as root");
        if (there == "own")
            ::chmod(QFile::encodeName(target).constData(), 0640);
        QString got;
        QCOMPARE(FileCommit::write("new", target, FileCommit::Existing(existing), &got),
                 !written.isEmpty());
        QCOMPARE(got, written.isEmpty() ? QString() : path(written));
        if (!written.isEmpty()) {
            QCOMPARE(readAll(got), QByteArray("new"));
            QCOMPARE(QFileInfo(got).ownerId(), ::geteuid());
        }
        // What was there and not replaced is as it was; nothing else is left behind.
        if (there == "other")
            QCOMPARE(readAll(target), QByteArray("other"));
        if (there == "own" && written == "page.jpg") // a replaced file keeps its mode
            QCOMPARE(int(QFileInfo(target).permissions() & 0x7077),
                     int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        for (const QString &name :
             QDir(m_dir.path())
                 .entryList(QDir::Hidden | QDir::System | QDir::Files | QDir::NoDotAndDotDot))
            QVERIFY2(!name.startsWith('.'), qPrintable(name));
    }

    // Every document writer, at a predicted name where another user planted a link: the page
    // takes the next free name and the link's target is untouched.
    void writersAtPlantedLinks_data()
    {
        QTest::addColumn<int>("saveType");
        for (int type = SaveFormat::Jpg; type <= SaveFormat::MergedPdf; ++type)
            QTest::newRow(qPrintable(SaveFormat::suffix(type) + QString::number(type))) << type;
    }
    void writersAtPlantedLinks()
    {
        QFETCH(int, saveType);
        const QString target = path("Image-2026-01-01-10-00-00" + SaveFormat::suffix(saveType));
        QVERIFY(plant("link", target));
        QImage page(64, 48, QImage::Format_RGB32);
        page.fill(Qt::white);
        QString written;
        const bool ok = saveType == SaveFormat::MergedPdf
                            ? PdfPageWriter::write({PageSource::ofImage(page)}, target,
                                                   FileCommit::ReplaceOwnOrFree, &written)
                            : PageWriter::write(PageSource::ofImage(page), saveType, target,
                                                FileCommit::ReplaceOwnOrFree, &written);
        QVERIFY(ok);
        QCOMPARE(written, FileCommit::numberedName(target, 1));
        QVERIFY(QFileInfo(target).isSymLink());
        QVERIFY(readAll(written).size() > 100);
    }

    // The work log's export onto a link fails and leaves the link alone. (The page export's
    // "replace" takes the mode the fileCommit rows check: test_preview's export into folders.)
    void logExportAtAPlantedLink()
    {
        QVERIFY(plant("link", path("a.txt")) && QDir().mkpath("logFiles"));
        QVERIFY(writeFile("logFiles/export-source.txt", "record\n"));
        QVERIFY(!LogExport::copyReplacing("logFiles/export-source.txt", path("a.txt")));
        QVERIFY(LogExport::copyReplacing("logFiles/export-source.txt", path("log.txt")));
        QCOMPARE(readAll(path("log.txt")), QByteArray("record\n"));
        QFile::remove("logFiles/export-source.txt");
    }

    // The work log is appended only to a regular file of the operator's own, never through a
    // link; each record also goes to the journal.
    void workLog_data()
    {
        QTest::addColumn<QString>("there");
        QTest::addColumn<bool>("appended");
        QTest::newRow("no log yet") << "none" << true;
        QTest::newRow("own log") << "own" << true;
        QTest::newRow("a link to a private file") << "link" << false;
        QTest::newRow("another user's file") << "other" << false;
    }
    void workLog()
    {
        QFETCH(QString, there);
        QFETCH(bool, appended);
        // The log folder lies in the working directory, here the test's folder, which the
        // other user may write.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QDir().mkpath("logFiles");
        const QString log = path("logFiles/logs.txt");
        ::chmod(QFile::encodeName(path("logFiles")).constData(), 0777);
        if (!plant(there, log)) {
            QDir::setCurrent(previous);
            QSKIP("another user's file needs the test to run as root");
        }
        const QByteArray before = QFileInfo(log).isSymLink() ? QByteArray() : readAll(log);
        LogOutput::WriteFile(LogRecord::Success, "/home/op/Scans/Image.jpg", 3);
        const QByteArray after = QFileInfo(log).isSymLink() ? QByteArray() : readAll(log);
        QCOMPARE(after.size() > before.size(), appended);
        if (appended)
            QVERIFY(after.mid(before.size()).contains(" /home/op/Scans/Image.jpg TX7700-Series ") &&
                    after.endsWith(" Success \n"));
        QDir::setCurrent(previous);
    }

    // The journal's record: its fields, and the message as the journal's socket receives it
    // (in a mount namespace of its own, with our socket in place of journald's; skipped where
    // that cannot be made).
    void journalRecord()
    {
        const QList<QByteArray> fields =
            JournalRecord::fields(LogRecord::Fail, 2, QString::fromUtf8("/srv/扫描/a b.pdf"), "op");
        QCOMPARE(fields, (QList<QByteArray>{
                             "MESSAGE=Scan Fail: 2 page(s), /srv/扫描/a b.pdf (op)", "PRIORITY=4",
                             "SYSLOG_IDENTIFIER=veldrin-scan", "SCAN_RESULT=Fail", "SCAN_PAGES=2",
                             "SCAN_DOCUMENT=/srv/扫描/a b.pdf", "SCAN_OPERATOR=op"}));
        int pipeFds[2];
        QVERIFY(::pipe(pipeFds) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            // A private /run with our own socket where sd_journal_send sends.
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0 ||
                ::mkdir("/run/systemd", 0755) != 0 || ::mkdir("/run/systemd/journal", 0755) != 0)
                ::_exit(2);
            const int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            ::strcpy(addr.sun_path, "/run/systemd/journal/socket");
            if (sock < 0 || ::bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
                ::_exit(2);
            const bool sent = JournalRecord::send(fields);
            char buffer[4096];
            const ssize_t got = sent ? ::recv(sock, buffer, sizeof buffer, MSG_DONTWAIT) : -1;
            if (got > 0 && ::write(pipeFds[1], buffer, size_t(got)) != got)
                ::_exit(3);
            ::_exit(got > 0 ? 0 : 1);
        }
        ::close(pipeFds[1]);
        QFile pipe;
        QVERIFY(pipe.open(pipeFds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        const QByteArray received = pipe.readAll(); // until the child has exited
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WEXITSTATUS(status) == 2)
            QSKIP("no mount namespace here to stand in for the journal's socket");
        QCOMPARE(WEXITSTATUS(status), 0);
        // The native protocol: one "NAME=value" line per field.
        QCOMPARE(received, fields.join('\n') + '\n');
    }

    // Before a scan: a folder that cannot be used gives way to ~/Scans (the operator is told);
    // a folder others may write to is named in a warning the operator may go on from.
    void destinationFolder_data()
    {
        // folder (%1: the test's) | mode of %1/shared | button pressed | approved | used | message
        TestRows::add({"own folder | %1/mine | 0 | Ok | 1 | %1/mine |",
                       "cannot be created | /proc/self/scans | 0 | Ok | 1 | ~/Scans | "
                       "无法创建保存文件夹 /proc/self/scans，页面改为保存到 ~/Scans。",
                       "shared, go on | %1/shared | 777 | Yes | 1 | %1/shared | "
                       "其他用户可以写入保存文件夹 "
                       "%1/shared，他们可以替换或删除保存在其中的页面。仍要保存到这里吗？",
                       "group-writable, stop | %1/shared | 775 | No | 0 | %1/shared | "
                       "其他用户可以写入保存文件夹 %1/shared",
                       "sticky | %1/shared | 1777 | Ok | 1 | %1/shared |"});
    }
    void destinationFolder()
    {
        QFETCH(QStringList, fields);
        for (QString &field : fields)
            field.replace("%1", m_dir.path()).replace("~", QDir::homePath());
        const QString shared = path("shared");
        QDir().mkpath(shared);
        // A group of no user: not the operator's private group.
        ::chown(QFile::encodeName(shared).constData(), uid_t(-1), gid_t(kOther));
        const int mode = fields[1].toInt(nullptr, 8);
        ::chmod(QFile::encodeName(shared).constData(), mode_t(mode ? mode : 0755));
        ScanSettings settings;
        settings.save_path = fields[0];
        ModalAnswerer answerer;
        answerer.expectMessageBox(fields[2] == "Ok"    ? QMessageBox::Ok
                                  : fields[2] == "Yes" ? QMessageBox::Yes
                                                       : QMessageBox::No);
        QCOMPARE(ScanTargetCheck::approve(settings, true), fields[3] == "1");
        QCOMPARE(settings.save_path, fields[4]);
        QCOMPARE(answerer.seen.size(), fields[5].isEmpty() ? 0 : 1);
        QVERIFY(fields[5].isEmpty() || answerer.seen.at(0).text.startsWith(fields[5]));
        // A preview writes nothing: no question.
        settings.save_path = shared;
        QVERIFY(ScanTargetCheck::approve(settings, false));
    }
};

SCANCONSOLE_TEST_MAIN(TestSharedMachine)
#include "tst_sharedmachine.moc"
