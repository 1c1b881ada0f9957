#include "log/LogOutput.h"
#include "log/LogRecord.h"
#include "log/LogWindow.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QTableWidget>
#include <QToolBar>
#include <QtTest>

#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString kLogPath = QStringLiteral("./logFiles/logs.txt");

QByteArray readLog()
{
    QFile file(kLogPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeLog(const QByteArray &bytes)
{
    QDir().mkpath(QStringLiteral("./logFiles"));
    QFile file(kLogPath);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// One record exactly as the writer lays it out: six fields, each followed by a blank.
QByteArray record(const QByteArray &user, const QByteArray &path, const QByteArray &time,
                  const char *status)
{
    return user + ' ' + path + " TX7700-Series Unknown " + time + ' ' + status + " \n";
}

QTableWidget *table(LogWindow &w)
{
    return w.findChild<QTableWidget *>("tableWidget");
}

// The table from the top, each row's cells joined by '|'.
QStringList rows(LogWindow &w)
{
    QStringList result;
    for (int r = 0; r < table(w)->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table(w)->columnCount(); ++c)
            cells << (table(w)->item(r, c) ? table(w)->item(r, c)->text() : QString());
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

void clickDelete(LogWindow &w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget *button = w.findChild<QToolBar *>("toolBar")->widgetForAction(
        w.findChild<QAction *>("action_delete"));
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void userFallsBackToUid();
    void writeRecord_data();
    void writeRecord();
    void freeTextLog();
    void windowTexts();
    void newestOnTop();
    void deleteAndReload();

private:
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_oldCwd;
};

void TestLog::init()
{
    // A fresh working directory per case, where "./logFiles" does not exist yet.
    m_oldCwd = QDir::currentPath();
    m_work.reset(new QTemporaryDir);
    QVERIFY(QDir::setCurrent(m_work->path()));
    TestEnvironment::resetRecord();
}

void TestLog::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    m_work.reset();
}

void TestLog::userFallsBackToUid()
{
    // A user without a login name is logged by id instead of losing the record.
    QCOMPARE(LogRecord::userField("bob", 1000), QByteArray("bob"));
    QCOMPARE(LogRecord::userField(nullptr, 1000), QByteArray("1000"));
    QCOMPARE(LogRecord::userField("", 0), QByteArray("0"));
}

void TestLog::writeRecord_data()
{
    QTest::addColumn<int>("saveType");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QByteArray>("path");
    // BMP and merged PDF carry their path too, so the viewer's fields stay in place.
    const char *suffix[] = {".jpg", ".pdf", ".tiff", ".ofd", ".png", ".bmp", ".pdf"};
    for (int t = 0; t < 7; ++t)
        QTest::addRow("save_type %d", t)
            << t << (t % 2 == 0) << "/home/image/Image" + QByteArray(suffix[t]);
}

void TestLog::writeRecord()
{
    QFETCH(int, saveType);
    QFETCH(bool, success);
    QFETCH(QByteArray, path);
    ParamSetting &p = ParamSetting::instance;
    p.save_path = QStringLiteral("/home/image");
    p.name = QStringLiteral("Image");
    p.save_type = saveType;
    QVERIFY(!QDir(QStringLiteral("logFiles")).exists());
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    LogOutput::WriteFile(success);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    QCOMPARE(p.log_file_name, QStringLiteral("logs.txt"));
    const QByteArray line = readLog();
    const QList<QByteArray> f = line.split(' ');
    QCOMPARE(f.size(), 7);
    const QString format = QStringLiteral("yyyy-MM-dd,hh:mm:ss");
    const QDateTime written = QDateTime::fromString(QString::fromLatin1(f.at(4)), format);
    QCOMPARE(written.toString(format).toLatin1(), f.at(4));
    QVERIFY(written >= before.addMSecs(-before.time().msec()) && written <= after);
    const passwd *pw = getpwuid(getuid());
    const QByteArray user =
        pw && pw->pw_name && *pw->pw_name ? QByteArray(pw->pw_name) : QByteArray::number(getuid());
    QCOMPARE(line, record(user, path, f.at(4), success ? "Success" : "Fail"));
}

void TestLog::freeTextLog()
{
    const QString dated =
        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
    LogOutput::WriteFile(QStringLiteral("erste ü"));
    LogOutput::WriteFile(QStringLiteral("zweite"));
    QCOMPARE(ParamSetting::instance.log_file_name, dated);
    QFile file(QStringLiteral("logFiles/") + dated);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QString::fromUtf8("erste ü\nzweite\n").toUtf8());
    // After a scan record the free text goes to the work log itself.
    LogOutput::WriteFile(true);
    LogOutput::WriteFile(QStringLiteral("note"));
    QVERIFY(readLog().endsWith(" Success \nnote\n"));
}

void TestLog::windowTexts()
{
    LogWindow w;
    QCOMPARE(w.windowTitle(), QString::fromUtf8("工作日志"));
    QCOMPARE(w.findChild<QAction *>("action_delete")->text(), QString("清除"));

    QTableWidget *t = table(w);
    const QStringList headers{"任务", "用户", "文档", "扫描仪", "时间", "状态"};
    QCOMPARE(t->columnCount(), 6);
    for (int c = 0; c < 6; ++c)
        QCOMPARE(t->horizontalHeaderItem(c)->text(), headers.at(c));
    QCOMPARE(t->textElideMode(), Qt::ElideRight);
    QVERIFY(!t->wordWrap()); // a wrapped cell would never show the elision
}

void TestLog::newestOnTop()
{
    // Blank lines are not counted; a short line shows empty cells, not the line before's; the
    // path is all between the user and the last four fields, blanks or none; cells are UTF-8.
    writeLog("\n" + record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success") + "\n  \n" +
             record("李", "/my scans/图 1.pdf", "2024-01-02,09:00:00", "Fail") + "dan /s/D.jpg\n" +
             record("eve", "", "2024-01-03,10:00:00", "Success") +
             "bob /b.png TX7700-Series Unknown 2024-01-04,00:00:00 Fail\r\n");
    LogWindow w;
    const QStringList shown{"5|bob|/b.png|TX7700-Series|2024-01-04,00:00:00|Fail",
                            "4|eve||TX7700-Series|2024-01-03,10:00:00|Success", "3|dan|/s/D.jpg|||",
                            "2|李|/my scans/图 1.pdf|TX7700-Series|2024-01-02,09:00:00|Fail",
                            "1|ann|/s/A.jpg|TX7700-Series|2024-01-01,08:00:00|Success"};
    QCOMPARE(rows(w), shown);

    // A reload after a new record replaces the rows: the new one on top, the rest kept.
    LogOutput::WriteFile(false);
    w.ReadLog();
    const QStringList after = rows(w);
    QCOMPARE(after.mid(1), shown);
    QVERIFY(after.at(0).startsWith("6|") && after.at(0).endsWith("|Fail"));
}

void TestLog::deleteAndReload()
{
    writeLog(record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success") +
             record("ben", "/s/B.pdf", "2024-01-02,09:00:00", "Fail"));
    LogWindow w;
    // A log that cannot be read leaves the table as it is.
    QVERIFY(QFile::remove(kLogPath));
    w.ReadLog();
    QCOMPARE(rows(w).size(), 2);
    QVERIFY(rows(w).at(0).startsWith("2|ben|"));
    clickDelete(w); // empties the table although the file is already gone
    QVERIFY(rows(w).isEmpty());

    LogOutput::WriteFile(true);
    clickDelete(w);
    QVERIFY(rows(w).isEmpty());
    QVERIFY(!QFile::exists(kLogPath));
    LogOutput::WriteFile(false);
    w.ReadLog();
    QCOMPARE(rows(w).size(), 1);
    QVERIFY(rows(w).at(0).startsWith("1|") && rows(w).at(0).endsWith("|Fail"));
}

SCANCONSOLE_TEST_MAIN(TestLog)
#include "tst_log.moc"
