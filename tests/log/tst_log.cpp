#include "log/LogOutput.h"
#include "log/LogRecord.h"
#include "log/LogWindow.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

namespace {

const char kLogPath[] = "./logFiles/logs.txt";

QByteArray readLog()
{
    QFile file(QString::fromLatin1(kLogPath));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeLog(const QByteArray &bytes)
{
    QDir().mkpath(QStringLiteral("./logFiles"));
    QFile file(QString::fromLatin1(kLogPath));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray record(const char *user, const char *path, const char *time, const char *status)
{
    return QByteArray(user) + ' ' + path + " TX7700-Series Unknown " + time + ' ' + status + " \n";
}

QStringList rowTexts(const QTableWidget *table, int row)
{
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) {
        const QTableWidgetItem *item = table->item(row, c);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

} // namespace

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // The record format.
    void recordLine_data();
    void recordLine();
    void pathForEverySaveType_data();
    void pathForEverySaveType();
    void userFieldFallsBackToUid();
    void parseByFields_data();
    void parseByFields();

    // The writer.
    void firstRecordCreatesFolder();
    void appendsOneLinePerCall();
    void recordCarriesUserPathTimeStatus();
    void writeTextUsesDatedFileName();

    // The viewer.
    void windowLayout();
    void newestRecordOnTop();
    void blankLinesNotCounted();
    void pathWithSpacesShownWhole();
    void shortLineShowsEmptyCells();
    void readLogWithoutFileKeepsRows();
    void deleteThroughToolBar();
    void deleteWithoutFile();
    void recordAfterDeleteIsNumberOne();

private:
    QTableWidget *table(LogWindow &w) { return w.findChild<QTableWidget *>("tableWidget"); }
    void clickDelete(LogWindow &w);

    QTemporaryDir *m_work = nullptr;
    QString m_oldCwd;
};

void TestLog::init()
{
    // Every case starts in a fresh working directory, where "./logFiles" does not exist yet.
    m_oldCwd = QDir::currentPath();
    m_work = new QTemporaryDir;
    QVERIFY(m_work->isValid());
    QVERIFY(QDir::setCurrent(m_work->path()));
    TestEnvironment::resetRecord();
}

void TestLog::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    delete m_work;
    m_work = nullptr;
}

void TestLog::recordLine_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("success") << true << QByteArray("Success");
    QTest::newRow("fail") << false << QByteArray("Fail");
}

void TestLog::recordLine()
{
    QFETCH(bool, success);
    QFETCH(QByteArray, status);
    const QDateTime when(QDate(2024, 3, 7), QTime(15, 4, 9));
    const QByteArray line = LogRecord::format("alice", "/home/image/Image.pdf", when, success);
    QCOMPARE(line, "alice /home/image/Image.pdf TX7700-Series Unknown 2024-03-07,15:04:09 " +
                       status + " \n");
}

void TestLog::pathForEverySaveType_data()
{
    QTest::addColumn<int>("saveType");
    QTest::addColumn<QString>("path");
    QTest::newRow("jpg") << 0 << "/home/image/Image.jpg";
    QTest::newRow("pdf") << 1 << "/home/image/Image.pdf";
    QTest::newRow("tiff") << 2 << "/home/image/Image.tiff";
    QTest::newRow("ofd") << 3 << "/home/image/Image.ofd";
    QTest::newRow("png") << 4 << "/home/image/Image.png";
    QTest::newRow("bmp") << 5 << "/home/image/Image.bmp";
    QTest::newRow("merged pdf") << 6 << "/home/image/Image.pdf";
}

void TestLog::pathForEverySaveType()
{
    QFETCH(int, saveType);
    QFETCH(QString, path);
    ParamSetting &p = ParamSetting::instance;
    p.save_path = QStringLiteral("/home/image");
    p.name = QStringLiteral("Image");
    p.save_type = saveType;
    LogOutput::WriteFile(true);
    const QByteArray line = readLog();
    const QList<QByteArray> fields = line.split(' ');
    QCOMPARE(fields.size(), 7);
    QCOMPARE(QString::fromLocal8Bit(fields.at(1)), path);
    QCOMPARE(fields.at(6), QByteArray("\n"));
}

void TestLog::userFieldFallsBackToUid()
{
    QCOMPARE(LogRecord::userField("bob", 1000), QByteArray("bob"));
    QCOMPARE(LogRecord::userField(nullptr, 1000), QByteArray("1000"));
    QCOMPARE(LogRecord::userField("", 0), QByteArray("0"));
}

void TestLog::parseByFields_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("record") << record("alice", "/home/image/Image.jpg", "2024-03-07,15:04:09",
                                      "Success")
                            << QStringList{"alice",   "/home/image/Image.jpg", "TX7700-Series",
                                           "Unknown", "2024-03-07,15:04:09",   "Success"};
    QTest::newRow("spaces in path")
        << record("alice", "/home/my scans/Scan 1.pdf", "2024-03-07,15:04:09", "Fail")
        << QStringList{"alice",   "/home/my scans/Scan 1.pdf", "TX7700-Series",
                       "Unknown", "2024-03-07,15:04:09",       "Fail"};
    QTest::newRow("empty path")
        << record("alice", "", "2024-03-07,15:04:09", "Success")
        << QStringList{"alice", "", "TX7700-Series", "Unknown", "2024-03-07,15:04:09", "Success"};
    QTest::newRow("crlf, no trailing blank")
        << QByteArray("bob /a/b.png TX7700-Series Unknown 2024-01-01,00:00:00 Fail\r\n")
        << QStringList{"bob", "/a/b.png", "TX7700-Series", "Unknown", "2024-01-01,00:00:00",
                       "Fail"};
    QTest::newRow("utf-8") << record("李", "/home/图像/扫描.jpg", "2024-01-01,00:00:00", "Fail")
                           << QStringList{"李",      "/home/图像/扫描.jpg", "TX7700-Series",
                                          "Unknown", "2024-01-01,00:00:00", "Fail"};
    QTest::newRow("cut short") << QByteArray("carol /x/y.jpg TX7700-Series\n")
                               << QStringList{"carol", "/x/y.jpg", "TX7700-Series", "", "", ""};
    QTest::newRow("one field") << QByteArray("dave") << QStringList{"dave", "", "", "", "", ""};
    QTest::newRow("blank") << QByteArray(" \r\n") << QStringList{"", "", "", "", "", ""};
}

void TestLog::parseByFields()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, fields);
    const LogRecord r = LogRecord::parse(line);
    QCOMPARE((QStringList{r.user, r.path, r.scanner, r.fixed, r.time, r.status}), fields);
}

void TestLog::firstRecordCreatesFolder()
{
    QVERIFY(!QDir(QStringLiteral("logFiles")).exists());
    LogOutput::WriteFile(false);
    QVERIFY(QFileInfo(QStringLiteral("logFiles/logs.txt")).isFile());
    QCOMPARE(ParamSetting::instance.log_file_name, QStringLiteral("logs.txt"));
    const QByteArray log = readLog();
    QCOMPARE(log.count('\n'), 1);
    QVERIFY(log.endsWith(" Fail \n"));
}

void TestLog::appendsOneLinePerCall()
{
    LogOutput::WriteFile(true);
    LogOutput::WriteFile(false);
    const QList<QByteArray> lines = readLog().split('\n');
    QCOMPARE(lines.size(), 3); // two records and the empty rest after the last line feed
    QVERIFY(lines.at(0).endsWith(" Success "));
    QVERIFY(lines.at(1).endsWith(" Fail "));
    QVERIFY(lines.at(2).isEmpty());
}

void TestLog::recordCarriesUserPathTimeStatus()
{
    ParamSetting &p = ParamSetting::instance;
    p.save_path = QStringLiteral("/home/image");
    p.name = QStringLiteral("Image");
    p.save_type = 1;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    LogOutput::WriteFile(true);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QByteArray line = readLog();
    QVERIFY(line.endsWith(" \n"));
    const QList<QByteArray> f = line.left(line.size() - 2).split(' ');
    QCOMPARE(f.size(), 6);

    const passwd *entry = getpwuid(getuid());
    const QByteArray expectedUser = entry && entry->pw_name && *entry->pw_name
                                        ? QByteArray(entry->pw_name)
                                        : QByteArray::number(uint(getuid()));
    QCOMPARE(f.at(0), expectedUser);
    QCOMPARE(f.at(1), QByteArray("/home/image/Image.pdf"));
    QCOMPARE(f.at(2), QByteArray("TX7700-Series"));
    QCOMPARE(f.at(3), QByteArray("Unknown"));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d,\\d\\d:\\d\\d:\\d\\d$"))
                 .match(QString::fromLatin1(f.at(4)))
                 .hasMatch(),
             f.at(4).constData());
    const QDateTime written =
        QDateTime::fromString(QString::fromLatin1(f.at(4)), QStringLiteral("yyyy-MM-dd,hh:mm:ss"));
    QVERIFY(written.isValid());
    QVERIFY(written >= before.addMSecs(-before.time().msec()) && written <= after);
    QCOMPARE(f.at(5), QByteArray("Success"));
}

void TestLog::writeTextUsesDatedFileName()
{
    const QString dated =
        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
    LogOutput::WriteFile(QStringLiteral("erste Zeile ü"));
    QCOMPARE(ParamSetting::instance.log_file_name, dated);
    LogOutput::WriteFile(QStringLiteral("zweite"));
    QFile file(QStringLiteral("logFiles/") + dated);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QString::fromUtf8("erste Zeile ü\nzweite\n").toUtf8());

    // After a scan record the free text goes to the work log itself.
    LogOutput::WriteFile(true);
    LogOutput::WriteFile(QStringLiteral("note"));
    QVERIFY(readLog().endsWith(" Success \nnote\n"));
}

void TestLog::windowLayout()
{
    LogWindow w;
    QCOMPARE(w.objectName(), QStringLiteral("LogWindow"));
    QCOMPARE(w.size(), QSize(792, 600));
    QCOMPARE(w.windowTitle(), QString::fromUtf8("工作日志"));
    QVERIFY(!w.windowIcon().isNull());

    auto *central = w.findChild<QWidget *>("centralwidget");
    auto *grid = w.findChild<QGridLayout *>("gridLayout");
    QTableWidget *t = table(w);
    QVERIFY(central && grid && t);
    QCOMPARE(w.centralWidget(), central);
    QCOMPARE(grid->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(grid->itemAtPosition(0, 0)->widget(), t);
    QVERIFY(w.findChild<QStatusBar *>("statusbar"));
    auto *bar = w.findChild<QToolBar *>("toolBar");
    QVERIFY(bar);
    QCOMPARE(w.toolBarArea(bar), Qt::TopToolBarArea);
    QCOMPARE(bar->windowTitle(), QStringLiteral("toolBar"));

    auto *del = w.findChild<QAction *>("action_delete");
    QVERIFY(del);
    QVERIFY(bar->actions().contains(del));
    QCOMPARE(del->text(), QString("清除"));
    QVERIFY(!del->icon().isNull());

    const QStringList headers{QString("任务"),  QString("用户"),
                              QString("文档"), QString("扫描仪"),
                              QString("时间"), QString("状态")};
    const int widths[] = {120, 120, 120, 140, 140, 160};
    QCOMPARE(t->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(t->horizontalHeaderItem(c)->text(), headers.at(c));
        QCOMPARE(t->columnWidth(c), widths[c]);
    }
    QCOMPARE(t->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(t->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(t->verticalHeader()->isHidden());
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!t->horizontalHeader()->highlightSections());
    QCOMPARE(t->textElideMode(), Qt::ElideRight);
    QVERIFY(!t->wordWrap()); // a wrapped cell would never show the elision
}

void TestLog::newestRecordOnTop()
{
    writeLog(record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success") +
             record("ben", "/s/B.pdf", "2024-01-02,09:00:00", "Fail") +
             record("cat", "/s/C.png", "2024-01-03,10:00:00", "Success"));
    LogWindow w;
    QTableWidget *t = table(w);
    QCOMPARE(t->rowCount(), 3);
    QCOMPARE(rowTexts(t, 0), (QStringList{"3", "cat", "/s/C.png", "TX7700-Series",
                                          "2024-01-03,10:00:00", "Success"}));
    QCOMPARE(rowTexts(t, 1),
             (QStringList{"2", "ben", "/s/B.pdf", "TX7700-Series", "2024-01-02,09:00:00", "Fail"}));
    QCOMPARE(rowTexts(t, 2), (QStringList{"1", "ann", "/s/A.jpg", "TX7700-Series",
                                          "2024-01-01,08:00:00", "Success"}));

    // A reload after another record puts it on top as number 4 and keeps the rest.
    ParamSetting::instance.save_path = QStringLiteral("/d");
    ParamSetting::instance.save_type = 5;
    LogOutput::WriteFile(false);
    w.ReadLog();
    QCOMPARE(t->rowCount(), 4);
    QCOMPARE(rowTexts(t, 0).mid(0, 4),
             (QStringList{"4", QString::fromLocal8Bit(LogOutput::currentUser()), "/d/Image.bmp",
                          "TX7700-Series"}));
    QCOMPARE(rowTexts(t, 0).at(5), QStringLiteral("Fail"));
    QCOMPARE(rowTexts(t, 3).at(1), QStringLiteral("ann"));
}

void TestLog::blankLinesNotCounted()
{
    writeLog("\n" + record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success") + "\n  \n" +
             record("ben", "/s/B.pdf", "2024-01-02,09:00:00", "Fail") + "\n");
    LogWindow w;
    QTableWidget *t = table(w);
    QCOMPARE(t->rowCount(), 2);
    QCOMPARE(rowTexts(t, 0).mid(0, 2), (QStringList{"2", "ben"}));
    QCOMPARE(rowTexts(t, 1).mid(0, 2), (QStringList{"1", "ann"}));
}

void TestLog::pathWithSpacesShownWhole()
{
    ParamSetting &p = ParamSetting::instance;
    p.save_path = QStringLiteral("/home/my scans");
    p.name = QStringLiteral("Tax return");
    p.save_type = 6;
    LogOutput::WriteFile(true);
    LogWindow w;
    QTableWidget *t = table(w);
    QCOMPARE(t->rowCount(), 1);
    const QStringList row = rowTexts(t, 0);
    QCOMPARE(row.at(2), QStringLiteral("/home/my scans/Tax return.pdf"));
    QCOMPARE(row.at(3), QStringLiteral("TX7700-Series"));
    QCOMPARE(row.at(5), QStringLiteral("Success"));
}

void TestLog::shortLineShowsEmptyCells()
{
    writeLog(record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success") + "bob /s/B.jpg\n");
    LogWindow w;
    QTableWidget *t = table(w);
    QCOMPARE(t->rowCount(), 2);
    QCOMPARE(rowTexts(t, 0), (QStringList{"2", "bob", "/s/B.jpg", "", "", ""}));
    QCOMPARE(rowTexts(t, 1).at(5), QStringLiteral("Success"));
}

void TestLog::readLogWithoutFileKeepsRows()
{
    writeLog(record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success") +
             record("ben", "/s/B.pdf", "2024-01-02,09:00:00", "Fail"));
    LogWindow w;
    QVERIFY(QFile::remove(QString::fromLatin1(kLogPath)));
    w.ReadLog();
    QCOMPARE(table(w)->rowCount(), 2);
    QCOMPARE(rowTexts(table(w), 0).at(1), QStringLiteral("ben"));
}

void TestLog::clickDelete(LogWindow &w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *bar = w.findChild<QToolBar *>("toolBar");
    auto *del = w.findChild<QAction *>("action_delete");
    QVERIFY(bar && del);
    QWidget *button = bar->widgetForAction(del);
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestLog::deleteThroughToolBar()
{
    writeLog(record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success") +
             record("ben", "/s/B.pdf", "2024-01-02,09:00:00", "Fail"));
    LogWindow w;
    QCOMPARE(table(w)->rowCount(), 2);
    clickDelete(w);
    QCOMPARE(table(w)->rowCount(), 0);
    QVERIFY(!QFile::exists(QString::fromLatin1(kLogPath)));
}

void TestLog::deleteWithoutFile()
{
    writeLog(record("ann", "/s/A.jpg", "2024-01-01,08:00:00", "Success"));
    LogWindow w;
    QVERIFY(QFile::remove(QString::fromLatin1(kLogPath)));
    QCOMPARE(table(w)->rowCount(), 1);
    clickDelete(w);
    QCOMPARE(table(w)->rowCount(), 0);
    QVERIFY(!QFile::exists(QString::fromLatin1(kLogPath)));

    // No folder at all either.
    QVERIFY(QDir(QStringLiteral("logFiles")).removeRecursively());
    LogWindow fresh;
    QCOMPARE(table(fresh)->rowCount(), 0);
    clickDelete(fresh);
    QCOMPARE(table(fresh)->rowCount(), 0);
}

void TestLog::recordAfterDeleteIsNumberOne()
{
    LogOutput::WriteFile(true);
    LogOutput::WriteFile(true);
    LogWindow w;
    QCOMPARE(table(w)->rowCount(), 2);
    clickDelete(w);
    LogOutput::WriteFile(false);
    w.ReadLog();
    QCOMPARE(table(w)->rowCount(), 1);
    QCOMPARE(rowTexts(table(w), 0).at(0), QStringLiteral("1"));
    QCOMPARE(rowTexts(table(w), 0).at(5), QStringLiteral("Fail"));
}

SCANCONSOLE_TEST_MAIN(TestLog)
#include "tst_log.moc"
