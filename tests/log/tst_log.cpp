#include "account/MD5.h"
#include "log/LogOutput.h"
#include "log/LogRecord.h"
#include "log/LogWindow.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QToolBar>
#include <QtTest>

#include <memory>
#include <pwd.h>
#include <unistd.h>

// The work log: the line the writer appends, and the viewer that reads it back newest first and
// clears it only for the administrator.
class TestLog : public QObject
{
    Q_OBJECT

    // Presses the viewer's "清除" and answers the login (with `password`, or cancels it when
    // empty) and then the question (`yes`). Returns "title|text" of every window that came up.
    static QStringList clearLog(LogWindow &w, const QString &password = "secret", bool yes = true)
    {
        ModalAnswerer answerer;
        answerer.expect([password](QWidget *dialog) {
            auto *d = qobject_cast<QDialog *>(dialog);
            if (password.isEmpty())
                return d->reject();
            d->findChild<QLineEdit *>("edit_user")->setText("admin");
            d->findChild<QLineEdit *>("edit_password")->setText(password);
            d->findChild<QPushButton *>("btn_Login")->click();
        });
        answerer.expectMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
        QTest::mouseClick(w.findChild<QToolBar *>("toolBar")->widgetForAction(
                              w.findChild<QAction *>("action_delete")),
                          Qt::LeftButton);
        QStringList seen;
        for (const ModalAnswerer::Seen &window : answerer.seen)
            seen << window.title + '|' + window.text;
        return seen;
    }

    std::unique_ptr<QTemporaryDir> m_work;
    QString m_oldCwd;

    static QByteArray readLog() { return TestFiles::readAll("./logFiles/logs.txt"); }
    static void writeLog(const QByteArray &bytes, QIODevice::OpenMode mode = QIODevice::Truncate)
    {
        QDir().mkpath("./logFiles");
        QFile file("./logFiles/logs.txt");
        QVERIFY(file.open(QIODevice::WriteOnly | mode) && file.write(bytes) == bytes.size());
    }
    // One record exactly as the writer lays it out: six fields, each followed by a blank.
    static QByteArray record(const QByteArray &user, const QByteArray &path, const char *status)
    {
        return user + ' ' + path + " TX7700-Series Unknown 2024-01-01,08:00:00 " + status + " \n";
    }
    // The table from the top, each row's cells joined by '|'.
    static QStringList rows(LogWindow &w)
    {
        auto *table = w.findChild<QTableWidget *>("tableWidget");
        QStringList result;
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
            result << cells.join('|');
        }
        return result;
    }

private slots:
    void init()
    {
        // A fresh working directory per case, where "./logFiles" does not exist yet.
        m_oldCwd = QDir::currentPath();
        m_work.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(m_work->path()));
        TestEnvironment::resetRecord();
        // The administrator "admin" with the password "secret".
        QSettings login(TestEnvironment::configDir() + "/Login.ini", QSettings::IniFormat);
        login.setValue("/LOGIN/User", MD5::Encry("admin"));
        login.setValue("/LOGIN/Password", MD5::Encry("secret"));
    }
    void cleanup()
    {
        QDir::setCurrent(m_oldCwd);
        m_work.reset();
    }

    // BMP and merged PDF carry their path too, so the viewer's fields stay in place.
    void writeRecord()
    {
        for (int saveType : {SaveFormat::Bmp, SaveFormat::MergedPdf}) {
            QFile::remove("./logFiles/logs.txt");
            ParamSetting::instance.save_type = saveType;
            LogOutput::WriteFile(saveType == SaveFormat::MergedPdf);
            const QByteArray line = readLog(), time = line.split(' ').value(4);
            QVERIFY(QDateTime::fromString(QString::fromLatin1(time), "yyyy-MM-dd,hh:mm:ss")
                        .secsTo(QDateTime::currentDateTime()) < 5);
            QCOMPARE(line, record(getpwuid(getuid())->pw_name,
                                  QFile::encodeName(QDir::homePath()) + "/Scans/Image" +
                                      (saveType == SaveFormat::Bmp ? ".bmp" : ".pdf"),
                                  saveType == SaveFormat::Bmp ? "Fail" : "Success")
                               .replace("2024-01-01,08:00:00", time));
        }
        QCOMPARE(LogRecord::userField(nullptr, 1000), QByteArray("1000")); // no login name
    }

    void viewerNewestOnTop()
    {
        // Blank lines are not counted; a short line shows empty cells, not the line before's; the
        // path is all between the user and the last four fields, blanks or none; cells are UTF-8.
        writeLog("\n" + record("ann", "/s/A.jpg", "Success") + "\n  \n" +
                 record("李", "/my scans/图 1.pdf", "Fail") + "dan /s/D.jpg\n" +
                 record("eve", "", "Success"));
        LogWindow w;
        QCOMPARE(w.windowTitle(), QString("工作日志"));
        auto *table = w.findChild<QTableWidget *>("tableWidget");
        for (int c = 0; c < 6; ++c)
            QCOMPARE(table->horizontalHeaderItem(c)->text(),
                     QString("任务 用户 文档 扫描仪 时间 状态").split(' ').at(c));
        const QStringList shown{"4|eve||TX7700-Series|2024-01-01,08:00:00|Success",
                                "3|dan|/s/D.jpg|||",
                                "2|李|/my scans/图 1.pdf|TX7700-Series|2024-01-01,08:00:00|Fail",
                                "1|ann|/s/A.jpg|TX7700-Series|2024-01-01,08:00:00|Success"};
        QCOMPARE(rows(w), shown);
        // The viewer reads only what was appended (the start of the file changed in place would
        // show otherwise); a record still being written shows once it is whole.
        QFile file("./logFiles/logs.txt");
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write("\namy") == 4);
        file.close();
        const auto append = [](const QByteArray &bytes) { writeLog(bytes, QIODevice::Append); };
        append(record("cat", "/s/C.png", "Success") + "fay /s/F.jpg");
        w.ReadLog();
        QCOMPARE(rows(w).mid(2), shown);
        QCOMPARE(rows(w).at(0), QString("6|fay|/s/F.jpg|||"));
        append(" TX7700-Series Unknown 2024-01-01,08:00:00 Fail \n");
        w.ReadLog();
        QCOMPARE(rows(w).mid(2), shown);
        QCOMPARE(rows(w).at(0), QString("6|fay|/s/F.jpg|TX7700-Series|2024-01-01,08:00:00|Fail"));
        // The last record was cut off while being written: the next one still gets its own line.
        append("gus /s/G.pdf TX77");
        LogOutput::WriteFile(true);
        QVERIFY(readLog().contains("\ngus /s/G.pdf TX77\n") && readLog().endsWith(" Success \n"));
        w.ReadLog();
        QCOMPARE(rows(w).mid(4), shown);
        QCOMPARE(rows(w).at(1), QString("7|gus|/s/G.pdf|TX77||"));
        QVERIFY(rows(w).at(0).startsWith("8|") && rows(w).at(0).endsWith("|Success"));
    }

    // The viewer shows the newest MaxRows records, with a note; clearing needs the
    // administrator's login (the export's dialog) and then a "Yes".
    void newestRecordsAndClearing_data()
    {
        QTest::addColumn<QString>("password"); // empty: the login is cancelled
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("seen");
        const QString login = "登入|",
                      question = "提示|确定删除全部工作日志记录吗？删除后无法恢复。";
        QTest::newRow("login cancelled") << "" << true << QStringList{login};
        QTest::newRow("no") << "secret" << false << QStringList{login, question};
        QTest::newRow("login and yes") << "secret" << true << QStringList{login, question};
    }
    void newestRecordsAndClearing()
    {
        QFETCH(QString, password);
        QFETCH(bool, yes);
        QFETCH(QStringList, seen);
        const bool cleared = yes && !password.isEmpty(); // the row that clears: a long log
        QByteArray log;
        for (int i = 1; i <= (cleared ? LogWindow::MaxRows + 50 : 1); ++i)
            log += record("u" + QByteArray::number(i), "/s/A.jpg", "Success");
        writeLog(log);
        LogWindow w;
        w.show();
        auto *note = w.findChild<QLabel *>("label_olderRecords");
        QCOMPARE(note->isHidden(), !cleared);
        if (cleared) {
            QCOMPARE(note->text(), QString("仅显示最新的 10000 条记录，更早的记录在日志文件中"));
            QVERIFY(rows(w).size() == LogWindow::MaxRows && rows(w).last().startsWith("51|u51|"));
            LogOutput::WriteFile(true);
            w.ReadLog();
            QVERIFY(rows(w).size() == LogWindow::MaxRows && rows(w).first().startsWith("10051|") &&
                    rows(w).last().startsWith("52|u52|"));
        }
        const QStringList shown = rows(w);
        QCOMPARE(clearLog(w, password, yes), seen);
        QCOMPARE(rows(w), cleared ? QStringList() : shown);
        QVERIFY(note->isHidden());
        QCOMPARE(readLog(), cleared ? QByteArray() : log);
        if (!cleared)
            return;
        // The next record starts the log again; a log that cannot be read leaves the table as
        // it is, and clearing then empties it.
        LogOutput::WriteFile(false);
        w.ReadLog();
        QCOMPARE(rows(w).size(), 1);
        QVERIFY(rows(w).at(0).startsWith("1|") && rows(w).at(0).endsWith("|Fail"));
        QVERIFY(QFile::remove("./logFiles/logs.txt"));
        w.ReadLog();
        QCOMPARE(rows(w).size(), 1);
        clearLog(w);
        QVERIFY(rows(w).isEmpty());
    }
};

SCANCONSOLE_TEST_MAIN(TestLog)
#include "tst_log.moc"
