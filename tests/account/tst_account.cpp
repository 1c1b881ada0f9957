#include "account/LogExport.h"
#include "account/LoginDialog.h"
#include "account/MD5.h"
#include "account/PasswordDialog.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// The administrator account: digests, the login and change-password dialogs, the installed
// Login.ini, and the log export guarded by the login.
class TestAccount : public QObject
{
    Q_OBJECT

private:
    const QString kUser = QStringLiteral("Admin");
    const QString kPassword = QStringLiteral("Start123");
    const QByteArray kLog = "root /home/image/Image.jpg TX7700-Series Unknown "
                            "2026-01-05,10:11:12 Success \n";

    static QString loginIni() { return TestEnvironment::configDir() + "/Login.ini"; }
    static void writeLogin(const QVariantMap &values)
    {
        QFile::remove(loginIni());
        QSettings s(loginIni(), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            s.setValue(it.key(), it.value());
    }
    static QString stored(const char *key)
    {
        return QSettings(loginIni(), QSettings::IniFormat).value(key).toString();
    }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    static void writeFile(const QString &path, const QByteArray &content)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    struct Outcome
    {
        bool accepted = false; // accepted and closed
        bool open = false;
        QString info; // label_Info, when shown
        QList<ModalAnswerer::Seen> boxes;
    };
    // Types the entries like an operator (any character, not only ASCII), presses `button` and
    // answers a warning box with OK. A refused entry must leave the dialog open, entries as typed.
    template <typename Dialog>
    static Outcome press(const QStringList &edits, const QStringList &texts, const char *button)
    {
        Dialog dialog;
        dialog.show();
        for (int i = 0; i < edits.size(); ++i) {
            QLineEdit *edit = dialog.template findChild<QLineEdit *>(edits[i]);
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            for (const QChar c : texts[i])
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), {});
        }
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog.template findChild<QPushButton *>(button), Qt::LeftButton);
        QTest::qWait(50);
        Outcome o{dialog.result() == QDialog::Accepted && !dialog.isVisible(), dialog.isVisible(),
                  QString(), answerer.seen};
        auto *info = dialog.template findChild<QLabel *>(QStringLiteral("label_Info"));
        if (info && info->isVisible())
            o.info = info->text();
        for (int i = 0; i < edits.size(); ++i)
            if (o.open && dialog.template findChild<QLineEdit *>(edits[i])->text() != texts[i])
                qWarning("refused entry changed %s", qPrintable(edits[i]));
        return o;
    }
    static Outcome login(const QString &user, const QString &password)
    {
        return press<LoginDialog>({"edit_user", "edit_password"}, {user, password}, "btn_Login");
    }
    static Outcome change(const QString &oldPw, const QString &newPw, const QString &confirm,
                          const char *button = "btn_Ok")
    {
        return press<PasswordDialog>(
            {"edit_OldPassword", "edit_NewPassword", "edit_ConfirmPassword"},
            {oldPw, newPw, confirm}, button);
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        writeLogin(
            {{"/LOGIN/User", MD5::Encry(kUser)}, {"/LOGIN/Password", MD5::Encry(kPassword)}});
        QDir("./logFiles").removeRecursively();
        QDir().mkpath("./logFiles");
    }

    void digests_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digest");
        // clang-format off
        QTest::newRow("empty") << "" << "d41d8cd98f00b204e9800998ecf8427e";
        QTest::newRow("abc") << "abc" << "900150983cd24fb0d6963f7d28e17f72";
        QTest::newRow("Admin") << "Admin" << "e3afed0047b08059d0fada10f400c1e5";
        // Latin-1 bytes, not UTF-8: "été" is e9 74 e9; outside Latin-1 a character counts as '?'.
        QTest::newRow("latin1") << QString::fromUtf8("été") << "70b06e3087350c8c4fc3f13e741879f3";
        QTest::newRow("outside") << QString::fromUtf8("中") << "d1457b72c3fb323a2671125aef3eab5d";
        // clang-format on
    }
    void digests()
    {
        QFETCH(QString, text);
        QFETCH(QString, digest);
        QCOMPARE(MD5::Encry(text), digest);
    }

    void loginChecksInOrder_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("file");        // 0 as installed, 1 no Login.ini, 2 no user key
        QTest::addColumn<QString>("message"); // empty: accepted without a box
        // clang-format off
        const QString noUser = "       用户名不能为空      ";
        const QString wrong = "      用户名或密码错误     ";
        QTest::newRow("stored pair") << kUser << kPassword << 0 << QString();
        QTest::newRow("both empty") << "" << "" << 0 << noUser;
        QTest::newRow("no password") << kUser << "" << 0 << "       密码不能为空      ";
        QTest::newRow("user case") << "admin" << kPassword << 0 << wrong;
        QTest::newRow("wrong password") << kUser << "Start124" << 0 << wrong;
        QTest::newRow("user with blank") << "Admin " << kPassword << 0 << wrong;
        // Not even an empty user digest may match a missing key.
        QTest::newRow("no Login.ini") << kUser << kPassword << 1 << wrong;
        QTest::newRow("no user key") << kUser << kPassword << 2 << wrong;
        // clang-format on
    }
    void loginChecksInOrder()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, file);
        QFETCH(QString, message);
        if (file == 1)
            QVERIFY(QFile::remove(loginIni()));
        if (file == 2)
            writeLogin({{"/LOGIN/Password", MD5::Encry(kPassword)}});
        const Outcome a = login(user, password);
        QCOMPARE(a.accepted, message.isEmpty());
        QCOMPARE(a.boxes.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(a.boxes[0].className, QString("QMessageBox"));
            QCOMPARE(a.boxes[0].title, QString("警告"));
            QCOMPARE(a.boxes[0].text, message);
        }
        QCOMPARE(QFile::exists(loginIni()), file != 1); // the login never creates the file
    }

    void installedAccountNeverOverwritten()
    {
        // The build provides the initial account, Admin with the initial password, which the
        // template holds only as a digest.
        const QString tmpl = QStringLiteral(SCANCONSOLE_LOGIN_TEMPLATE);
        const QByteArray content = readAll(tmpl);
        QVERIFY(!content.contains("Veldrin2026"));
        QFile::remove(loginIni());
        QVERIFY(QFile::copy(tmpl, loginIni()));
        QVERIFY(login("Admin", "Veldrin2026").accepted);
        // A later build puts the template in place only where no Login.ini is yet.
        QTemporaryDir dir;
        const QString target = dir.filePath("config/Login.ini");
        auto provide = [&]() {
            return QProcess::execute(QStringLiteral(SCANCONSOLE_CMAKE_COMMAND),
                                     {"-DSOURCE=" SCANCONSOLE_LOGIN_TEMPLATE, "-DTARGET=" + target,
                                      "-P", QStringLiteral(SCANCONSOLE_CONFIG_SCRIPT)});
        };
        QCOMPARE(provide(), 0);
        QCOMPARE(readAll(target), content);
        writeFile(target, "[LOGIN]\nPassword=changed\n");
        QCOMPARE(provide(), 0);
        QCOMPARE(readAll(target), QByteArray("[LOGIN]\nPassword=changed\n"));
    }

    void passwordChecksInOrder_data()
    {
        QTest::addColumn<bool>("hasPassword"); // false: Login.ini without a password key
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<QString>("newPw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("message");
        const QString wrongOld = "原密码错误，请重试";
        const QString tooShort = "密码长度不能小于6位";
        const QString chars = "密码需为6到16位数字或字母组成";
        const QString accented = QString::fromUtf8("abcé123"), wide = QString::fromUtf8("１23abc");
        // clang-format off
        QTest::newRow("wrong old first") << true << "Start12" << "a_b" << "x" << wrongOld;
        QTest::newRow("no stored password") << false << "" << "abc123" << "abc123" << wrongOld;
        QTest::newRow("5 characters") << true << kPassword << "abc12" << "abc12" << tooShort;
        QTest::newRow("length before match") << true << kPassword << "a_b" << "other" << tooShort;
        QTest::newRow("17 characters") << true << kPassword << "abcdefgh123456789"
                                       << "abcdefgh123456789" << "密码长度不能大于16位";
        QTest::newRow("confirm differs") << true << kPassword << "abc123" << "abc124"
                                         << "新密码与确认密码不一致";
        QTest::newRow("same as old") << true << kPassword << kPassword << kPassword
                                     << "新密码不能与原密码相同";
        QTest::newRow("blank") << true << kPassword << "abc 123" << "abc 123" << chars;
        QTest::newRow("underscore") << true << kPassword << "abc_123" << "abc_123" << chars;
        QTest::newRow("non-ASCII letter") << true << kPassword << accented << accented << chars;
        QTest::newRow("full-width digit") << true << kPassword << wide << wide << chars;
        // clang-format on
    }
    void passwordChecksInOrder()
    {
        QFETCH(bool, hasPassword);
        QFETCH(QString, oldPw);
        QFETCH(QString, newPw);
        QFETCH(QString, confirm);
        QFETCH(QString, message);
        if (!hasPassword)
            writeLogin({{"/LOGIN/User", MD5::Encry(kUser)}});
        const Outcome c = change(oldPw, newPw, confirm);
        QVERIFY(!c.accepted);
        QVERIFY(c.open);
        QCOMPARE(c.info, message);
        QCOMPARE(stored("/LOGIN/Password"), hasPassword ? MD5::Encry(kPassword) : QString());
    }

    void passwordAcceptedAndLogsIn_data()
    {
        QTest::addColumn<QString>("newPw");
        QTest::newRow("6 characters") << "abc123";
        QTest::newRow("16 characters") << "abcdefgh12345678";
        QTest::newRow("letters only") << "abcdefg";
        QTest::newRow("digits only") << "1234567";
    }
    void passwordAcceptedAndLogsIn()
    {
        QFETCH(QString, newPw);
        const Outcome cancelled = change(kPassword, newPw, newPw, "btn_Cancel");
        QVERIFY(!cancelled.accepted && !cancelled.open);
        QCOMPARE(stored("/LOGIN/Password"), MD5::Encry(kPassword));
        const Outcome c = change(kPassword, newPw, newPw);
        QVERIFY(c.accepted);
        QVERIFY(c.boxes.isEmpty());
        QCOMPARE(stored("/LOGIN/Password"), MD5::Encry(newPw));
        // The user key stays as installed, and only digests reach the file.
        QCOMPARE(stored("/LOGIN/User"), MD5::Encry(kUser));
        QVERIFY(!readAll(loginIni()).contains(newPw.toLatin1()));
        // The login's password field takes 16 characters at most: further typing is dropped.
        QVERIFY(login(kUser, newPw.size() == 16 ? newPw + "999" : newPw).accepted);
        const Outcome old = login(kUser, kPassword);
        QVERIFY(!old.accepted);
        QCOMPARE(old.boxes.size(), 1);
    }

    void unwritableLoginIniKeepsDialogOpen()
    {
        // Root writes through any permission bits: Login.ini links to a file with a name of the
        // longest length, which reads fine, but Qt's temporary file beside it cannot be made.
        const QString longName = TestEnvironment::configDir() + '/' + QString(255, 'L');
        writeFile(longName, "[LOGIN]\nUser=" + MD5::Encry(kUser).toLatin1() +
                                "\nPassword=" + MD5::Encry(kPassword).toLatin1() + "\n");
        QFile::remove(loginIni());
        QVERIFY(QFile::link(longName, loginIni()));
        QCOMPARE(stored("/LOGIN/Password"), MD5::Encry(kPassword));
        const Outcome c = change(kPassword, "NewPass99", "NewPass99");
        QVERIFY(!c.accepted);
        QVERIFY(c.open);
        QCOMPARE(c.info, QString("新密码保存失败"));
        QVERIFY(readAll(longName).contains(MD5::Encry(kPassword).toLatin1()));
        // Nothing of the failed change lingers in this process either.
        QVERIFY(login(kUser, kPassword).accepted);
        QVERIFY(!login(kUser, "NewPass99").accepted);
    }

    void exportLog_data()
    {
        QTest::addColumn<int>("log"); // 0 none, 1 a file, 2 a folder (exists, cannot be read)
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QStringList>("lastBox"); // title and text
        const QStringList all{"LoginDialog", "QFileDialog", "QMessageBox", "QMessageBox"};
        const QStringList none;
        // clang-format off
        QTest::newRow("login cancelled") << 1 << QStringList{"LoginDialog"} << none;
        QTest::newRow("no log") << 0 << QStringList{"LoginDialog", "QMessageBox"}
                                << QStringList{"警告", "     没有历史日志     "};
        QTest::newRow("save cancelled") << 1 << QStringList{"LoginDialog", "QFileDialog"} << none;
        QTest::newRow("replaced") << 1 << all << QStringList{"提示", "        导出日志成功        "};
        QTest::newRow("failed copy keeps the file")
            << 2 << all << QStringList{"警告", "        导出日志失败        "};
        // clang-format on
    }
    void exportLog()
    {
        QFETCH(int, log);
        QFETCH(QStringList, seen);
        QFETCH(QStringList, lastBox);
        const bool chosen = seen.size() == 4;
        if (log == 1)
            writeFile(LogExport::logFilePath(), kLog);
        if (log == 2)
            QVERIFY(QDir().mkpath(LogExport::logFilePath()));
        QTemporaryDir dir;
        const QString target = dir.filePath("export.txt");
        const QByteArray older = "an older export that is much longer than the log itself\n";
        writeFile(target, older);

        ModalAnswerer answerer;
        const QString password = seen.size() > 1 ? kPassword : QString(); // none: cancel
        answerer.expect([password](QWidget *w) {
            if (!qobject_cast<LoginDialog *>(w))
                return;
            QTest::keyClicks(w->findChild<QLineEdit *>("edit_password"), password);
            QTest::mouseClick(
                w->findChild<QPushButton *>(password.isEmpty() ? "btn_cancel" : "btn_Login"),
                Qt::LeftButton);
        });
        if (chosen) {
            answerer.expectFileDialog(target);
            answerer.expectMessageBox(QMessageBox::Yes); // the file dialog asks before replacing
        } else if (seen.value(1) == "QFileDialog") {
            answerer.expectReject();
        }
        answerer.expectMessageBox(QMessageBox::Ok);
        answerer.expectReject(); // would catch a dialog or box opened after all
        LogExport::run(nullptr);
        QStringList classes;
        for (const auto &s : answerer.seen)
            classes << s.className;
        QCOMPARE(classes, seen);
        if (chosen)
            QCOMPARE(answerer.seen[1].title, QString("导出日志"));
        if (!lastBox.isEmpty()) {
            QCOMPARE(answerer.seen.last().title, lastBox[0]);
            QCOMPARE(answerer.seen.last().text, lastBox[1]);
        }
        QCOMPARE(readAll(target), chosen && log == 1 ? kLog : older);
        // Written in one go: no temporary or other file stays beside the target.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"export.txt"});
        if (log == 1)
            QCOMPARE(readAll(LogExport::logFilePath()), kLog);
    }
};

SCANCONSOLE_TEST_MAIN(TestAccount)
#include "tst_account.moc"
