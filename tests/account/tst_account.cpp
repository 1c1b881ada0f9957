#include "account/LogExport.h"
#include "account/LoginDialog.h"
#include "account/MD5.h"
#include "account/PasswordDialog.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The administrator account: the installed Login.ini, the login and change-password dialogs,
// and the log export guarded by the login.
class TestAccount : public QObject
{
    Q_OBJECT

    const QString kUser = "Admin", kPassword = "Start123";
    const QStringList kAccepted{"accepted"};

    static QString loginIni() { return TestEnvironment::configDir() + "/Login.ini"; }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    // Each file gets a time of its own: Qt's cache of ini files compares only size and time.
    static void writeFile(const QString &path, const QByteArray &content)
    {
        static int written = 0;
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(++written),
                              QFileDevice::FileModificationTime));
    }
    static QByteArray account(const QString &password) // Login.ini as the console writes it
    {
        return "[LOGIN]\nPassword=" + MD5::Encry(password).toLatin1() +
               "\nUser=e3afed0047b08059d0fada10f400c1e5\n";
    }

    // Types each entry as one key event, presses `button` and answers boxes with OK. Returns
    // "accepted", "rejected" or "open", then the red label if shown and "title|text" of each box.
    template <typename Dialog>
    static QStringList press(const QStringList &names, const QStringList &texts, const char *button)
    {
        Dialog dialog;
        dialog.show();
        for (int i = 0; i < names.size(); ++i) {
            auto *edit = dialog.template findChild<QLineEdit *>(names[i]);
            edit->clear();
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, texts[i], {});
        }
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog.template findChild<QPushButton *>(button), Qt::LeftButton);
        QStringList seen{dialog.isVisible() ? "open" : dialog.result() ? "accepted" : "rejected"};
        if (auto *info = dialog.template findChild<QLabel *>("label_Info");
            info && info->isVisible())
            seen << info->text();
        for (const ModalAnswerer::Seen &s : answerer.seen)
            seen << s.title + '|' + s.text;
        return seen;
    }
    static QStringList login(const QString &user, const QString &password)
    {
        return press<LoginDialog>({"edit_user", "edit_password"}, {user, password}, "btn_Login");
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        writeFile(loginIni(), account(kPassword));
        QDir("./logFiles").removeRecursively();
        QDir().mkpath("./logFiles");
    }

    void buildInstallsLoginIniOnlyWhereMissing()
    {
        const QStringList args{"-DSOURCE=" SCANCONSOLE_LOGIN_TEMPLATE, "-DTARGET=" + loginIni(),
                               "-P", SCANCONSOLE_CONFIG_SCRIPT};
        QCOMPARE(QProcess::execute(SCANCONSOLE_CMAKE_COMMAND, args), 0);
        QCOMPARE(readAll(loginIni()), account(kPassword)); // a changed password is kept
        QVERIFY(QFile::remove(loginIni()));
        QCOMPARE(QProcess::execute(SCANCONSOLE_CMAKE_COMMAND, args), 0);
        QVERIFY(!readAll(loginIni()).contains("Veldrin2026")); // the README's initial password
        QCOMPARE(login(kUser, "Veldrin2026"), kAccepted);
    }

    void login_data()
    {
        QTest::addColumn<QStringList>("typed"); // user, password
        QTest::addColumn<QByteArray>("file");   // Login.ini, null: none
        QTest::addColumn<QString>("warning");   // empty: accepted without a box
        const QString wrong = "      用户名或密码错误     ", p = kPassword;
        const QByteArray ini = account(p);
        QTest::newRow("right pair") << QStringList{kUser, p} << ini << QString();
        QTest::newRow("both empty") << QStringList{"", ""} << ini << "       用户名不能为空      ";
        QTest::newRow("no password")
            << QStringList{kUser, ""} << ini << "       密码不能为空      ";
        QTest::newRow("user case") << QStringList{"admin", p} << ini << wrong;
        QTest::newRow("no Login.ini") << QStringList{kUser, p} << QByteArray() << wrong;
        QTest::newRow("no user key") << QStringList{kUser, p} << ini.left(50) << wrong;
    }
    void login()
    {
        QFETCH(QStringList, typed);
        QFETCH(QByteArray, file);
        QFETCH(QString, warning);
        QVERIFY(QFile::remove(loginIni()));
        if (!file.isNull())
            writeFile(loginIni(), file);
        QCOMPARE(login(typed[0], typed[1]),
                 (warning.isEmpty() ? kAccepted : QStringList{"open", "警告|" + warning}));
        QCOMPARE(readAll(loginIni()), file.isNull() ? "<none>" : file); // the login writes nothing
    }

    void changePassword_data()
    {
        QTest::addColumn<QStringList>("entries"); // old, new, confirm
        QTest::addColumn<QString>("message");     // empty: accepted
        const QString chars = "密码需为6到16位数字或字母组成", p = kPassword;
        // Each refusal also breaks the later rules, so a check out of order shows.
        QTest::newRow("wrong old") << QStringList{"Start12", "a_b", "x"} << "原密码错误，请重试";
        QTest::newRow("5 characters") << QStringList{p, "a_b12", "x"} << "密码长度不能小于6位";
        QTest::newRow("5 beyond the basic plane")
            << QStringList{p, "abcd𝟙", "x"} << "密码长度不能小于6位";
        QTest::newRow("17 characters")
            << QStringList{p, "abcdefgh_23456789", "x"} << "密码长度不能大于16位";
        QTest::newRow("confirm differs") << QStringList{p, p, "a_c123"} << "新密码与确认密码不一致";
        QTest::newRow("same as old") << QStringList{p, p, p} << "新密码不能与原密码相同";
        QTest::newRow("blank") << QStringList{p, "abc 123", "abc 123"} << chars;
        QTest::newRow("underscore") << QStringList{p, "abc_123", "abc_123"} << chars;
        QTest::newRow("non-ASCII letter") << QStringList{p, "abcé123", "abcé123"} << chars;
        QTest::newRow("6 letters") << QStringList{p, "abcdef", "abcdef"} << QString();
        QTest::newRow("16 digits")
            << QStringList{p, "1234567890123456", "1234567890123456"} << QString();
        // Login.ini links to a name so long that no temporary file fits beside it (root writes
        // through any permission bits). Last: the unwritten value stays in Qt's ini cache.
        QTest::newRow("unwritable") << QStringList{p, "NewPass99", "NewPass99"} << "新密码保存失败";
    }
    void changePassword()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, message);
        const QString longName = TestEnvironment::configDir() + '/' + QString(255, 'L');
        if (message == "新密码保存失败")
            QVERIFY(QFile::rename(loginIni(), longName) && QFile::link(longName, loginIni()));
        QCOMPARE(
            press<PasswordDialog>({"edit_OldPassword", "edit_NewPassword", "edit_ConfirmPassword"},
                                  entries, "btn_Ok"),
            (message.isEmpty() ? kAccepted : QStringList{"open", message}));
        const QString now = message.isEmpty() ? entries[1] : kPassword,
                      other = message.isEmpty() ? kPassword : entries[1];
        QCOMPARE(readAll(loginIni()), account(now)); // digest only, user key kept
        QCOMPARE(login(kUser, now), kAccepted);
        QVERIFY(other == now || login(kUser, other) != kAccepted);
    }

    void exportLog_data()
    {
        QTest::addColumn<int>("log");          // 0 none, 1 a file, 2 a folder (cannot be read)
        QTest::addColumn<bool>("login");       // false: the login is cancelled
        QTest::addColumn<QString>("target");   // "old": an existing file; null: cancelled
        QTest::addColumn<QStringList>("seen"); // "title|text" of every modal window
        const QStringList in{"登入|"}, chosen = in + QStringList{"导出日志|"};
        const QStringList saved = chosen + QStringList{"提示|        导出日志成功        "};
        const QString old = "old";
        QTest::newRow("login cancelled") << 1 << false << old << in;
        QTest::newRow("no log") << 0 << true << old
                                << in + QStringList{"警告|     没有历史日志     "};
        QTest::newRow("save cancelled") << 1 << true << QString() << chosen;
        QTest::newRow("replaced") << 1 << true << old << saved;
        QTest::newRow("failed copy keeps the file")
            << 2 << true << old << chosen + QStringList{"警告|        导出日志失败        "};
        // Deleting the target before copying would lose the log here.
        QTest::newRow("onto the log itself") << 1 << true << QString("log") << saved;
    }
    void exportLog()
    {
        QFETCH(int, log);
        QFETCH(bool, login);
        QFETCH(QString, target);
        QFETCH(QStringList, seen);
        const QByteArray kLog = "root a TX7700-Series Unknown 2026-01-05,10:11:12 Success \n";
        const QByteArray older = "an older export, longer than the log, that a failure keeps\n";
        if (log == 1)
            writeFile(LogExport::logFilePath(), kLog);
        if (log == 2)
            QVERIFY(QDir().mkpath(LogExport::logFilePath()));
        QTemporaryDir dir;
        const QString path = target == "log" ? QDir().absoluteFilePath(LogExport::logFilePath())
                                             : dir.filePath("x.txt");
        if (target == "old")
            writeFile(path, older);
        // Each window is answered as the row's operator would, so a wrong order cannot hang.
        ModalAnswerer answerer;
        for (int i = 0; i < 4; ++i)
            answerer.expect([&](QWidget *w) {
                auto *files = qobject_cast<QFileDialog *>(w);
                if (files && !target.isNull()) { // Qt's question before replacing is not ours
                    files->setOption(QFileDialog::DontConfirmOverwrite);
                    files->findChild<QLineEdit *>("fileNameEdit")->setText(path);
                    return static_cast<QDialog *>(files)->accept();
                }
                const bool yes =
                    qobject_cast<QMessageBox *>(w) || (login && qobject_cast<LoginDialog *>(w));
                static_cast<QDialog *>(w)->done(yes ? QDialog::Accepted : QDialog::Rejected);
            });
        LogExport::run(nullptr);
        QStringList shown;
        for (const ModalAnswerer::Seen &s : answerer.seen)
            shown << s.title + '|' + s.text;
        QCOMPARE(shown, seen);
        QCOMPARE(readAll(path), seen.last().startsWith("提示") ? kLog
                                : target == "old"              ? older
                                                               : "<none>");
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files).size(),
                 int(QFileInfo::exists(path))); // no temporary file left
    }
};

SCANCONSOLE_TEST_MAIN(TestAccount)
#include "tst_account.moc"
