#include "account/LogExport.h"
#include "account/LoginDialog.h"
#include "account/MD5.h"
#include "account/PasswordDialog.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
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

    static QString loginIni() { return TestEnvironment::configDir() + "/Login.ini"; }

    static void writeLogin(const QVariantMap &values)
    {
        QFile::remove(loginIni());
        QSettings s(loginIni(), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            s.setValue(it.key(), it.value());
        s.sync();
    }
    void writeAccount(const QString &password)
    {
        writeLogin({{"/LOGIN/User", MD5::Encry(kUser)}, {"/LOGIN/Password", MD5::Encry(password)}});
    }
    static QString storedPassword()
    {
        QSettings s(loginIni(), QSettings::IniFormat);
        return s.value("/LOGIN/Password").toString();
    }

    template <typename T> static T *child(QWidget *w, const char *name)
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        if (!c)
            qWarning("missing child %s", name);
        return c;
    }

    static void type(QLineEdit *edit, const QString &text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        for (const QChar c : text) {
            if (c.unicode() < 128)
                QTest::keyClick(edit, c.toLatin1());
            else // QTest's character clicks are ASCII only; a key event carries any text.
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    }

    struct Attempt
    {
        bool accepted = false;
        QList<ModalAnswerer::Seen> boxes;
    };

    // Fills the login form like an operator and presses Login; warning boxes are answered OK.
    static Attempt login(const QString &user, const QString &password)
    {
        LoginDialog dialog;
        dialog.show();
        type(child<QLineEdit>(&dialog, "edit_user"), user);
        type(child<QLineEdit>(&dialog, "edit_password"), password);
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(child<QPushButton>(&dialog, "btn_Login"), Qt::LeftButton);
        QTest::qWait(50);
        Attempt a;
        a.accepted = dialog.result() == QDialog::Accepted && !dialog.isVisible();
        a.boxes = answerer.seen;
        if (!a.accepted) {
            // A refused login leaves the dialog open with the entries as they were.
            if (!dialog.isVisible())
                qWarning("refused login closed the dialog");
            if (child<QLineEdit>(&dialog, "edit_user")->text() != user ||
                child<QLineEdit>(&dialog, "edit_password")->text() != password)
                qWarning("refused login changed the entries");
        }
        return a;
    }

    struct Change
    {
        bool accepted = false;
        bool open = false;
        QString info;
    };

    static Change changePassword(const QString &oldPw, const QString &newPw, const QString &confirm)
    {
        PasswordDialog dialog;
        dialog.show();
        auto *oldEdit = child<QLineEdit>(&dialog, "edit_OldPassword");
        auto *newEdit = child<QLineEdit>(&dialog, "edit_NewPassword");
        auto *confirmEdit = child<QLineEdit>(&dialog, "edit_ConfirmPassword");
        type(oldEdit, oldPw);
        type(newEdit, newPw);
        type(confirmEdit, confirm);
        QTest::mouseClick(child<QPushButton>(&dialog, "btn_Ok"), Qt::LeftButton);
        Change c;
        c.accepted = dialog.result() == QDialog::Accepted;
        c.open = dialog.isVisible();
        auto *info = child<QLabel>(&dialog, "label_Info");
        c.info = info->isVisible() ? info->text() : QString();
        if (c.open && (oldEdit->text() != oldPw || newEdit->text() != newPw ||
                       confirmEdit->text() != confirm))
            qWarning("refused change touched the entries");
        return c;
    }

    // Queues the operator's answer to the login dialog of the export.
    void answerLogin(ModalAnswerer &answerer, const QString &password)
    {
        answerer.expect([password](QWidget *w) {
            if (!qobject_cast<LoginDialog *>(w))
                return;
            QTest::keyClicks(child<QLineEdit>(w, "edit_password"), password);
            QTest::mouseClick(child<QPushButton>(w, "btn_Login"), Qt::LeftButton);
        });
    }
    // Types the chosen name into the save dialog and confirms it, as an operator would.
    // (QFileDialog::selectFile() leaves the name field alone while it has the focus.)
    static void answerSaveDialog(ModalAnswerer &answerer, const QString &path)
    {
        answerer.expect([path](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            if (!dialog)
                return;
            const QFileInfo info(path);
            dialog->setDirectory(info.absolutePath());
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(info.fileName());
            static_cast<QDialog *>(dialog)->accept(); // virtual: QFileDialog's own accept()
        });
    }
    static void writeLog(const QByteArray &content)
    {
        QDir().mkpath("./logFiles");
        QFile f(LogExport::logFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    static QStringList seenClasses(const ModalAnswerer &answerer)
    {
        QStringList names;
        for (const auto &s : answerer.seen)
            names << s.className;
        return names;
    }

    const QByteArray kLog = "root /home/image/Image.jpg TX7700-Series Unknown "
                            "2026-01-05,10:11:12 Success \n";

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        writeAccount(kPassword);
        QDir("./logFiles").removeRecursively();
    }

    void digestsOfKnownTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty") << ""
                               << "d41d8cd98f00b204e9800998ecf8427e";
        QTest::newRow("abc") << "abc"
                             << "900150983cd24fb0d6963f7d28e17f72";
        QTest::newRow("fox") << "The quick brown fox jumps over the lazy dog"
                             << "9e107d9d372bb6826bd81d3542a419d6";
        QTest::newRow("Admin") << "Admin"
                               << "e3afed0047b08059d0fada10f400c1e5";
        // Latin-1 bytes, not UTF-8: "été" is e9 74 e9.
        QTest::newRow("latin1") << QString::fromUtf8("été") << "70b06e3087350c8c4fc3f13e741879f3";
        // Outside Latin-1 a character counts as '?'.
        QTest::newRow("outside") << QString::fromUtf8("中") << "d1457b72c3fb323a2671125aef3eab5d";
    }
    void digestsOfKnownTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, digest);
        QCOMPARE(MD5::Encry(text), digest);
    }

    void loginForm()
    {
        LoginDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("登入"));
        QCOMPARE(dialog.size(), QSize(264, 171));
        QCOMPARE(child<QLineEdit>(&dialog, "edit_user")->text(), QString("Admin"));
        QCOMPARE(child<QLabel>(&dialog, "label_user")->text(), QString("用户名："));
        QCOMPARE(child<QLabel>(&dialog, "label_PW")->text(), QString("密码："));
        QCOMPARE(child<QPushButton>(&dialog, "btn_Login")->text(), QString("登入"));
        QCOMPARE(child<QPushButton>(&dialog, "btn_cancel")->text(), QString("取消"));
        auto *password = child<QLineEdit>(&dialog, "edit_password");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        dialog.show();
        QTest::keyClicks(password, "abcdefghij0123456789");
        QCOMPARE(password->text(), QString("abcdefghij012345"));
    }

    void loginChecksInOrder_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("both empty") << ""
                                    << ""
                                    << "       用户名不能为空      ";
        QTest::newRow("no user") << "" << kPassword << "       用户名不能为空      ";
        QTest::newRow("no password") << kUser << ""
                                     << "       密码不能为空      ";
        QTest::newRow("user case") << "admin" << kPassword << "      用户名或密码错误     ";
        QTest::newRow("wrong password") << kUser << "Start124"
                                        << "      用户名或密码错误     ";
        QTest::newRow("user with blank") << "Admin " << kPassword << "      用户名或密码错误     ";
    }
    void loginChecksInOrder()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, message);
        const Attempt a = login(user, password);
        QVERIFY(!a.accepted);
        QCOMPARE(a.boxes.size(), 1);
        QCOMPARE(a.boxes[0].className, QString("QMessageBox"));
        QCOMPARE(a.boxes[0].title, QString("警告"));
        QCOMPARE(a.boxes[0].text, message);
    }

    void loginAcceptsTheStoredPair()
    {
        const Attempt a = login(kUser, kPassword);
        QVERIFY(a.accepted);
        QVERIFY(a.boxes.isEmpty());
    }

    void loginNeedsFileAndUserKey_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("no Login.ini") << false;
        QTest::newRow("no user key") << true;
    }
    void loginNeedsFileAndUserKey()
    {
        QFETCH(bool, withFile);
        if (withFile)
            writeLogin({{"/LOGIN/Password", MD5::Encry(kPassword)}});
        else
            QVERIFY(QFile::remove(loginIni()));
        // Not even an empty user digest may match a missing key.
        const Attempt a = login(kUser, kPassword);
        QVERIFY(!a.accepted);
        QCOMPARE(a.boxes.size(), 1);
        QCOMPARE(a.boxes[0].text, QString("      用户名或密码错误     "));
        QCOMPARE(QFile::exists(loginIni()), withFile);
    }

    void installedLoginIni()
    {
        // The build provides the initial account: Admin with the initial password.
        const QString tmpl = QStringLiteral(SCANCONSOLE_LOGIN_TEMPLATE);
        const QByteArray content = readAll(tmpl);
        QVERIFY(content.startsWith(';'));
        QVERIFY(content.contains("Change it at once"));
        QVERIFY(!content.contains("Veldrin2026"));
        QFile::remove(loginIni());
        QVERIFY(QFile::copy(tmpl, loginIni()));
        QVERIFY(login("Admin", "Veldrin2026").accepted);
    }

    void buildNeverOverwritesLoginIni()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("config/Login.ini");
        auto provide = [&]() {
            return QProcess::execute(QStringLiteral(SCANCONSOLE_CMAKE_COMMAND),
                                     {"-DSOURCE=" SCANCONSOLE_LOGIN_TEMPLATE, "-DTARGET=" + target,
                                      "-P", QStringLiteral(SCANCONSOLE_CONFIG_SCRIPT)});
        };
        QCOMPARE(provide(), 0);
        QCOMPARE(readAll(target), readAll(QStringLiteral(SCANCONSOLE_LOGIN_TEMPLATE)));
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("[LOGIN]\nPassword=changed\n");
        }
        QCOMPARE(provide(), 0);
        QCOMPARE(readAll(target), QByteArray("[LOGIN]\nPassword=changed\n"));
    }

    void passwordForm()
    {
        PasswordDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("修改密码"));
        QCOMPARE(dialog.size(), QSize(299, 200));
        QCOMPARE(child<QLabel>(&dialog, "label_OldPassword")->text(), QString("原密码："));
        QCOMPARE(child<QLabel>(&dialog, "label_NewPassword")->text(), QString("新密码："));
        QCOMPARE(child<QLabel>(&dialog, "label_ConfirmPassword")->text(), QString("确认密码："));
        QCOMPARE(child<QPushButton>(&dialog, "btn_Ok")->text(), QString("确认"));
        QCOMPARE(child<QPushButton>(&dialog, "btn_Cancel")->text(), QString("取消"));
        QVERIFY(child<QLabel>(&dialog, "label_Info")->text().isEmpty());
        for (const char *name : {"edit_OldPassword", "edit_NewPassword", "edit_ConfirmPassword"})
            QCOMPARE(child<QLineEdit>(&dialog, name)->echoMode(), QLineEdit::Password);
    }

    void passwordChecksInOrder_data()
    {
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<QString>("newPw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("message");
        const QString wrongOld = "原密码错误，请重试";
        const QString tooShort = "密码长度不能小于6位";
        const QString tooLong = "密码长度不能大于16位";
        const QString differs = "新密码与确认密码不一致";
        const QString same = "新密码不能与原密码相同";
        const QString chars = "密码需为6到16位数字或字母组成";
        QTest::newRow("wrong old first") << "Start12"
                                         << "a_b"
                                         << "x" << wrongOld;
        QTest::newRow("empty old") << ""
                                   << "abc123"
                                   << "abc123" << wrongOld;
        QTest::newRow("empty new") << kPassword << ""
                                   << "" << tooShort;
        QTest::newRow("5 characters") << kPassword << "abc12"
                                      << "abc12" << tooShort;
        QTest::newRow("length before match") << kPassword << "a_b"
                                             << "other" << tooShort;
        QTest::newRow("17 characters") << kPassword << "abcdefgh123456789"
                                       << "abcdefgh123456789" << tooLong;
        QTest::newRow("confirm differs") << kPassword << "abc123"
                                         << "abc124" << differs;
        QTest::newRow("same as old") << kPassword << kPassword << kPassword << same;
        QTest::newRow("blank") << kPassword << "abc 123"
                               << "abc 123" << chars;
        QTest::newRow("underscore") << kPassword << "abc_123"
                                    << "abc_123" << chars;
        QTest::newRow("non-ASCII letter")
            << kPassword << QString::fromUtf8("abcé123") << QString::fromUtf8("abcé123") << chars;
    }
    void passwordChecksInOrder()
    {
        QFETCH(QString, oldPw);
        QFETCH(QString, newPw);
        QFETCH(QString, confirm);
        QFETCH(QString, message);
        const Change c = changePassword(oldPw, newPw, confirm);
        QVERIFY(!c.accepted);
        QVERIFY(c.open);
        QCOMPARE(c.info, message);
        QCOMPARE(storedPassword(), MD5::Encry(kPassword));
    }

    void passwordAccepted_data()
    {
        QTest::addColumn<QString>("newPw");
        QTest::newRow("6 characters") << "abc123";
        QTest::newRow("16 characters") << "abcdefgh12345678";
        QTest::newRow("letters only") << "abcdefg";
        QTest::newRow("digits only") << "1234567";
    }
    void passwordAccepted()
    {
        QFETCH(QString, newPw);
        const Change c = changePassword(kPassword, newPw, newPw);
        QVERIFY(c.accepted);
        QVERIFY(!c.open);
        QCOMPARE(storedPassword(), MD5::Encry(newPw));
        // The user key stays as installed.
        QSettings s(loginIni(), QSettings::IniFormat);
        QCOMPARE(s.value("/LOGIN/User").toString(), MD5::Encry(kUser));
        // Only digests reach the file.
        QVERIFY(!readAll(loginIni()).contains(newPw.toLatin1()));
    }

    void checkNewPasswordValues()
    {
        PasswordDialog dialog;
        QCOMPARE(dialog.CheckNewPassword(""), -1);
        QCOMPARE(dialog.CheckNewPassword("abc-12"), -1);
        QCOMPARE(dialog.CheckNewPassword(QString::fromUtf8("１23abc")), -1); // full-width digit
        QCOMPARE(dialog.CheckNewPassword("abcXYZ"), 0);
        QCOMPARE(dialog.CheckNewPassword("098765"), 0);
        QCOMPARE(dialog.CheckNewPassword("Zz09"), 1);
        QCOMPARE(dialog.GetDBPassword(), MD5::Encry(kPassword));
        QFile::remove(loginIni());
        QCOMPARE(dialog.GetDBPassword(), QString());
    }

    void passwordChangeWithoutStoredPassword()
    {
        writeLogin({{"/LOGIN/User", MD5::Encry(kUser)}});
        const Change c = changePassword("", "abc123", "abc123");
        QVERIFY(!c.accepted);
        QCOMPARE(c.info, QString("原密码错误，请重试"));
        QCOMPARE(storedPassword(), QString());
    }

    void changedPasswordLogsIn()
    {
        QVERIFY(changePassword(kPassword, "NewPass99", "NewPass99").accepted);
        QVERIFY(login(kUser, "NewPass99").accepted);
        const Attempt old = login(kUser, kPassword);
        QVERIFY(!old.accepted);
        QCOMPARE(old.boxes.size(), 1);
    }

    void unwritableLoginIniKeepsDialogOpen()
    {
        // Root writes through any permission bits, so the write is made to fail another way:
        // Login.ini links to a file whose name has the longest length a file name may have.
        // It reads fine, but Qt writes through a temporary file named after it plus a suffix,
        // and that name is too long for the file system.
        const QString longName = TestEnvironment::configDir() + '/' + QString(255, 'L');
        {
            QFile f(longName);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[LOGIN]\nUser=" + MD5::Encry(kUser).toLatin1() +
                    "\nPassword=" + MD5::Encry(kPassword).toLatin1() + "\n");
        }
        QFile::remove(loginIni());
        QVERIFY(QFile::link(longName, loginIni()));
        QCOMPARE(storedPassword(), MD5::Encry(kPassword));

        const Change c = changePassword(kPassword, "NewPass99", "NewPass99");
        QVERIFY(!c.accepted);
        QVERIFY(c.open);
        QCOMPARE(c.info, QString("新密码保存失败"));
        QVERIFY(readAll(longName).contains(MD5::Encry(kPassword).toLatin1()));
        // Nothing of the failed change lingers in this process either.
        QVERIFY(login(kUser, kPassword).accepted);
        QVERIFY(!login(kUser, "NewPass99").accepted);
    }

    void passwordCancel()
    {
        PasswordDialog dialog;
        dialog.show();
        type(child<QLineEdit>(&dialog, "edit_OldPassword"), kPassword);
        type(child<QLineEdit>(&dialog, "edit_NewPassword"), "abc123");
        type(child<QLineEdit>(&dialog, "edit_ConfirmPassword"), "abc123");
        QTest::mouseClick(child<QPushButton>(&dialog, "btn_Cancel"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(storedPassword(), MD5::Encry(kPassword));
    }

    void exportRefusedLoginDoesNothing()
    {
        writeLog(kLog);
        ModalAnswerer answerer;
        answerer.expect([](QWidget *w) {
            QTest::mouseClick(child<QPushButton>(w, "btn_cancel"), Qt::LeftButton);
        });
        answerer.expectReject(); // would catch a file dialog or box opened after all
        LogExport::run(nullptr);
        QCOMPARE(seenClasses(answerer), QStringList{"LoginDialog"});
    }

    void exportWithoutLogFile()
    {
        ModalAnswerer answerer;
        answerLogin(answerer, kPassword);
        answerer.expectMessageBox(QMessageBox::Ok);
        answerer.expectReject();
        LogExport::run(nullptr);
        QCOMPARE(seenClasses(answerer), (QStringList{"LoginDialog", "QMessageBox"}));
        QCOMPARE(answerer.seen[1].title, QString("警告"));
        QCOMPARE(answerer.seen[1].text, QString("     没有历史日志     "));
    }

    void exportReplacesExistingFile()
    {
        writeLog(kLog);
        QTemporaryDir dir;
        const QString target = dir.filePath("export.txt");
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("an older export that is much longer than the log itself\n");
        }
        ModalAnswerer answerer;
        answerLogin(answerer, kPassword);
        answerSaveDialog(answerer, target);
        answerer.expectMessageBox(QMessageBox::Yes); // the file dialog asks before replacing
        answerer.expectMessageBox(QMessageBox::Ok);
        answerer.expectReject();
        LogExport::run(nullptr);
        QCOMPARE(seenClasses(answerer),
                 (QStringList{"LoginDialog", "QFileDialog", "QMessageBox", "QMessageBox"}));
        QCOMPARE(answerer.seen[1].title, QString("导出日志"));
        QCOMPARE(answerer.seen[3].title, QString("提示"));
        QCOMPARE(answerer.seen[3].text, QString("        导出日志成功        "));
        QCOMPARE(readAll(target), kLog);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"export.txt"});
        QCOMPARE(readAll(LogExport::logFilePath()), kLog);
    }

    void exportCancelledSaveDialog()
    {
        writeLog(kLog);
        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerLogin(answerer, kPassword);
        answerer.expect([&dir](QWidget *w) {
            auto *d = qobject_cast<QFileDialog *>(w);
            if (!d)
                return;
            d->selectFile(dir.filePath("never.txt"));
            d->reject();
        });
        answerer.expectReject();
        LogExport::run(nullptr);
        QCOMPARE(seenClasses(answerer), (QStringList{"LoginDialog", "QFileDialog"}));
        QVERIFY(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
    }

    void exportFailureKeepsExistingFile()
    {
        // As root every file can be read, so the log is made unreadable by being a folder:
        // it exists, yet cannot be opened as a file, and the copy fails.
        QVERIFY(QDir().mkpath(LogExport::logFilePath()));
        QTemporaryDir dir;
        const QString target = dir.filePath("export.txt");
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the operator's file\n");
        }
        ModalAnswerer answerer;
        answerLogin(answerer, kPassword);
        answerSaveDialog(answerer, target);
        answerer.expectMessageBox(QMessageBox::Yes);
        answerer.expectMessageBox(QMessageBox::Ok);
        answerer.expectReject();
        LogExport::run(nullptr);
        QCOMPARE(seenClasses(answerer),
                 (QStringList{"LoginDialog", "QFileDialog", "QMessageBox", "QMessageBox"}));
        QCOMPARE(answerer.seen[3].title, QString("警告"));
        QCOMPARE(answerer.seen[3].text, QString("        导出日志失败        "));
        QCOMPARE(readAll(target), QByteArray("the operator's file\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"export.txt"});
    }

    void copyFailureLeavesNoPartialFile()
    {
        // A target folder that does not exist: nothing may be written anywhere.
        writeLog(kLog);
        QTemporaryDir dir;
        QVERIFY(!LogExport::copyReplacing(LogExport::logFilePath(), dir.filePath("no/such.txt")));
        QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
        QVERIFY(LogExport::copyReplacing(LogExport::logFilePath(), dir.filePath("new.txt")));
        QCOMPARE(readAll(dir.filePath("new.txt")), kLog);
    }
};

SCANCONSOLE_TEST_MAIN(TestAccount)
#include "tst_account.moc"
