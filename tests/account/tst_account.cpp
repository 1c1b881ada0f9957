#include "account/LogExport.h"
#include "account/LoginDialog.h"
#include "account/PasswordDialog.h"
#include "account/PasswordDigest.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using TestFiles::readAll;

// The administrator account: installed Login.ini, login, password change, guarded log export.
class TestAccount : public QObject
{
    Q_OBJECT

    const QString kUser = "Admin", kPassword = "Veldrin2026"; // as the installation notes say
    const QStringList kAccepted{"accepted"};

    static QString loginIni() { return TestEnvironment::configDir() + "/Login.ini"; }
    static int install() // the build's step that copies the initial Login.ini where none is
    {
        return QProcess::execute(SCANCONSOLE_CMAKE_COMMAND,
                                 {"-DSOURCE=" SCANCONSOLE_LOGIN_TEMPLATE, "-DTARGET=" + loginIni(),
                                  "-P", SCANCONSOLE_CONFIG_SCRIPT});
    }
    // Types each text as one key event into the edit named alike, presses the last name's button
    // and answers up to two boxes with OK. Returns "accepted", "rejected" or "open", then each box.
    static QStringList press(QDialog &dialog, const QStringList &names, const QStringList &texts)
    {
        dialog.show();
        for (int i = 0; i < texts.size(); ++i) {
            auto *edit = dialog.findChild<QLineEdit *>(names[i]);
            edit->clear(); // the user field comes filled in
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, texts[i], {});
        }
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        answerer.expectMessageBox();
        QTest::mouseClick(dialog.findChild<QWidget *>(names.last()), Qt::LeftButton);
        QStringList seen{dialog.isVisible() ? "open" : dialog.result() ? "accepted" : "rejected"};
        for (const ModalAnswerer::Seen &box : answerer.seen)
            seen << box.title + '|' + box.text;
        return seen;
    }
    static QStringList login(const QString &user, const QString &password)
    {
        LoginDialog dialog;
        return press(dialog, {"edit_user", "edit_password", "btn_Login"}, {user, password});
    }
    const QStringList kChangeNames{"edit_OldPassword", "edit_NewPassword", "edit_ConfirmPassword",
                                   "btn_Ok"};
    QStringList change(const QString &from, const QString &to)
    {
        PasswordDialog dialog;
        return press(dialog, kChangeNames, {from, to, to});
    }
private slots:
    void init()
    {
        // As the build leaves it (install() once below: a cmake run per case is slow).
        TestEnvironment::resetConfig(); // config/ without Login.ini
        QVERIFY(QFile::copy(SCANCONSOLE_LOGIN_TEMPLATE, loginIni()));
        QVERIFY(QFile::setPermissions(loginIni(), QFile::ReadOwner | QFile::WriteOwner));
    }

    // Login.ini counts only when nobody but root or the operator can write it (a mode, "other
    // user", "link"; "none": no file; "no user": no user key); a change keeps its mode.
    void login_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("typed"); // user, password
        QTest::addColumn<QString>("warning");   // empty: accepted without a box
        const QString wrong = "      用户名或密码错误     ", u = kUser, p = kPassword,
                      refused = "管理员账户文件 " + loginIni() + " 可被其他用户修改，已停用";
        QTest::newRow("right pair") << "0600" << QStringList{u, p} << "";
        QTest::newRow("both empty")
            << "0600" << QStringList{"", ""} << "       用户名不能为空      ";
        QTest::newRow("no password") << "0600" << QStringList{u, ""} << "       密码不能为空      ";
        QTest::newRow("user case") << "0600" << QStringList{"admin", p} << wrong;
        QTest::newRow("no Login.ini") << "none" << QStringList{u, p} << wrong;
        QTest::newRow("no user key") << "no user" << QStringList{u, p} << wrong;
        QTest::newRow("readable by all") << "0644" << QStringList{u, p} << "";
        QTest::newRow("group writes (an older installation)")
            << "0660" << QStringList{u, p} << refused;
        QTest::newRow("others write") << "0602" << QStringList{u, p} << refused;
        QTest::newRow("another user's file") << "other user" << QStringList{u, p} << refused;
        QTest::newRow("a link to a copy") << "link" << QStringList{u, p} << refused;
    }
    void login()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, typed);
        QFETCH(QString, warning);
        const QByteArray path = QFile::encodeName(loginIni());
        if (file == "none")
            QVERIFY(QFile::remove(loginIni()));
        else if (file == "no user")
            QSettings(loginIni(), QSettings::IniFormat).remove("/LOGIN/User");
        else if (file == "other user" && ::geteuid() != 0)
            QSKIP("another user's file needs the test to run as root");
        else if (file == "other user")
            QCOMPARE(::chown(path.constData(), 64123, 64123), 0);
        else if (file == "link")
            QVERIFY(QFile::rename(loginIni(), loginIni() + ".copy") &&
                    QFile::link(loginIni() + ".copy", loginIni()));
        else
            QCOMPARE(::chmod(path.constData(), mode_t(file.toInt(nullptr, 8))), 0);
        const QByteArray before = readAll(loginIni());
        const int mode = int(QFileInfo(loginIni()).permissions());
        QCOMPARE(login(typed[0], typed[1]),
                 (warning.isEmpty() ? kAccepted : QStringList{"open", "警告|" + warning}));
        QCOMPARE(readAll(loginIni()), before); // the login writes nothing
        if (warning.isEmpty()) {
            QCOMPARE(change(kPassword, "NewPass99").first(), QString("accepted"));
            QCOMPARE(int(QFileInfo(loginIni()).permissions()), mode);
        }
    }

    void changePassword_data()
    {
        QTest::addColumn<QStringList>("typed"); // old, new, confirm
        QTest::addColumn<QString>("message");   // the red label; empty: accepted
        const QString chars = "密码需为6到16位数字或字母组成", p = kPassword;
        // Each refusal also breaks the later rules, so a check out of order shows.
        QTest::newRow("wrong old") << QStringList{"Veldrin202", "a_b", "x"} << "原密码错误，请重试";
        QTest::newRow("5, one astral") << QStringList{p, "abcd𝟙", "x"} << "密码长度不能小于6位";
        QTest::newRow("17") << QStringList{p, "abcdefgh_23456789", "x"} << "密码长度不能大于16位";
        QTest::newRow("confirm differs") << QStringList{p, p, "a_c123"} << "新密码与确认密码不一致";
        QTest::newRow("same as old") << QStringList{p, p, p} << "新密码不能与原密码相同";
        QTest::newRow("underscore") << QStringList{p, "abc_123", "abc_123"} << chars;
        QTest::newRow("non-ASCII letter") << QStringList{p, "abcé123", "abcé123"} << chars;
        QTest::newRow("6 letters") << QStringList{p, "abcdef", "abcdef"} << "";
        QTest::newRow("16 digits") << QStringList{p, "1234567890123456", "1234567890123456"} << "";
    }
    void changePassword()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        PasswordDialog dialog;
        QCOMPARE(press(dialog, kChangeNames, typed)
                     << dialog.findChild<QLabel *>("label_Info")->text(),
                 (QStringList{message.isEmpty() ? "accepted" : "open", message})); // the red label
        QVERIFY(!readAll(loginIni()).contains(typed[1].toUtf8()));                 // digests only
        QCOMPARE(login(kUser, kPassword) == kAccepted, !message.isEmpty());
        QCOMPARE(login(kUser, typed[1]) == kAccepted, message.isEmpty() || typed[1] == kPassword);
    }

    // Installed for its owner only, with the installation's plain MD5 digest, which logs in. A
    // change stores a salted PBKDF2-SHA256 digest in a form that says so, for the owner only;
    // the user stays, and the next build keeps the changed file.
    void passwordFileAfterAChange()
    {
        QVERIFY(QFile::remove(loginIni()));
        QCOMPARE(install(), 0);
        QCOMPARE(QFileInfo(loginIni()).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QSettings file(loginIni(), QSettings::IniFormat);
        const QString user = file.value("/LOGIN/User").toString();
        QCOMPARE(login(kUser, kPassword), kAccepted);
        QCOMPARE(change(kPassword, "NewPass99").first(), QString("accepted"));
        file.sync();
        const QStringList stored = file.value("/LOGIN/Password").toString().split('$');
        QVERIFY(stored[0] == "pbkdf2-sha256" && stored[1].toInt() >= 100000);
        QCOMPARE(stored[2].size(), 32); // 16 bytes of salt, a new one each time
        QVERIFY(PasswordDigest::make(kPassword).split('$')[2] !=
                PasswordDigest::make(kPassword).split('$')[2]);
        // The derivation against one computed elsewhere (Python's hashlib.pbkdf2_hmac).
        const QString salt = "000102030405060708090a0b0c0d0e0f",
                      two = "pbkdf2-sha256$2$" + salt +
                            "$ca629b6f2498e28a39a160d4d6888d5fad018bd5de49b2a5b259437daca89459";
        QVERIFY(PasswordDigest::matches("NewPass99", two) &&
                !PasswordDigest::matches("NewPass9", two));
        QCOMPARE(file.value("/LOGIN/User").toString(), user);
        QCOMPARE(QFileInfo(loginIni()).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QVERIFY(login(kUser, kPassword) != kAccepted);
        QCOMPARE(install(), 0);
        QCOMPARE(login(kUser, "NewPass99"), kAccepted);
    }

    // On an installation Login.ini is root's (0640, the operators' group may read it): the
    // console of an operator changes it through the helper started by pkexec, or says how.
    void passwordThroughTheHelper_data()
    {
        QTest::addColumn<QString>("pkexec"); // the stand-in's script; empty: none on PATH
        QTest::addColumn<QStringList>("seen");
        const QString helper = TestEnvironment::appDir() + "/veldrin-scan-password";
        QTest::newRow("no pkexec") << QString()
                                   << QStringList{"open",
                                                  "警告|需要系统管理员权限才能修改管理员密码。"
                                                  "请系统管理员运行：\nsudo " +
                                                      helper,
                                                  ""};
        QTest::newRow("authorisation refused")
            << "exit 126" << QStringList{"open", "未获系统管理员授权，密码未修改"};
        // pkexec runs the helper as root: the stand-in's shell, started with the operator's
        // effective user id and root's real one, drops to root.
        QTest::newRow("authorised")
            << "echo \"$*\" >\"$0.calls\"; exec \"$@\"" << QStringList{"accepted", ""};
    }
    void passwordThroughTheHelper()
    {
        QFETCH(QString, pkexec);
        QFETCH(QStringList, seen);
        if (::geteuid() != 0)
            QSKIP("an operator's console and root's Login.ini need the test to run as root");
        const QByteArray path = QFile::encodeName(loginIni());
        const gid_t operators = 64123;
        QVERIFY(::chown(path.constData(), 0, operators) == 0 &&
                ::chmod(path.constData(), 0640) == 0);
        const QString stand = TestEnvironment::fakeBinDir() + "/pkexec";
        QFile::remove(stand + ".calls");
        if (!pkexec.isEmpty())
            TestEnvironment::writeFakeProgram("pkexec", "#!/bin/sh\n" + pkexec + "\n");
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(TestEnvironment::fakeBinDir()));
        // The operator: a member of the group, not the file's owner.
        QVERIFY(::setegid(operators) == 0 && ::seteuid(64123) == 0);
        PasswordDialog dialog;
        const QStringList result =
            press(dialog, kChangeNames, {kPassword, "NewPass99", "NewPass99"})
            << dialog.findChild<QLabel *>("label_Info")->text();
        QVERIFY(::seteuid(0) == 0 && ::setegid(0) == 0);
        qputenv("PATH", oldPath);
        QFile::remove(stand);
        QCOMPARE(result, seen);
        const bool changed = seen.first() == "accepted";
        QCOMPARE(login(kUser, "NewPass99") == kAccepted, changed);
        struct stat st;
        QCOMPARE(::stat(path.constData(), &st), 0);
        QVERIFY(st.st_uid == 0 && st.st_gid == operators && (st.st_mode & 0777) == 0640);
        if (changed)
            QCOMPARE(readAll(stand + ".calls"),
                     (TestEnvironment::appDir() + "/veldrin-scan-password\n").toUtf8());
    }

    void exportLog_data()
    {
        QTest::addColumn<int>("log"); // 0 none, 1 a file, 2 one that opens but fails to read
        QTest::addColumn<QStringList>("seen"); // every window; the last one is closed unanswered
        const QStringList in{"登入|"}, chosen = in + QStringList{"导出日志|"};
        QTest::newRow("login cancelled") << 1 << in;
        QTest::newRow("no log") << 0 << in + QStringList{"警告|     没有历史日志     "};
        QTest::newRow("save cancelled") << 1 << chosen;
        QTest::newRow("replaced") << 1 << chosen + QStringList{"提示|        导出日志成功        "};
        QTest::newRow("failed") << 2 << chosen + QStringList{"警告|        导出日志失败        "};
    }
    void exportLog()
    {
        QFETCH(int, log);
        QFETCH(QStringList, seen);
        const QString path = TestEnvironment::configDir() + "/x.txt";
        const QByteArray kLog = "root Success\n", older = "an older, longer export\n";
        QVERIFY(QDir("./logFiles").removeRecursively() && QDir().mkpath("./logFiles"));
        if (log == 1)
            QVERIFY(TestFiles::writeFile(LogExport::logFilePath(), kLog));
        if (log == 2) // the read fails with the target open: emptying it first loses the old export
            QVERIFY(QFile::link("/proc/self/mem", LogExport::logFilePath()));
        QVERIFY(TestFiles::writeFile(path, older));
        ModalAnswerer answerer; // all but the row's last window accepted, so no order can hang
        for (int i = 0; i < 4; ++i)
            answerer.expect([&](QWidget *w) {
                if (auto *files = qobject_cast<QFileDialog *>(w))
                    files->findChild<QLineEdit *>("fileNameEdit")->setText(path);
                const bool last = answerer.seen.size() == seen.size();
                static_cast<QDialog *>(w)->done(last ? QDialog::Rejected : QDialog::Accepted);
            });
        LogExport::run(nullptr);
        QStringList windows; // "title|text" of each
        for (const ModalAnswerer::Seen &window : answerer.seen)
            windows << window.title + '|' + window.text;
        QCOMPARE(windows, seen);
        QCOMPARE(readAll(path), seen.last().startsWith("提示") ? kLog : older);
    }
};

SCANCONSOLE_TEST_MAIN(TestAccount)
#include "tst_account.moc"
