#include "log/LogWindow.h"

#include "log/LogRecord.h"
#include "ui_LogWindow.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QIcon>
#include <QList>
#include <QTableWidgetItem>

namespace {

const char kLogFile[] = "./logFiles/logs.txt";

enum Column
{
    ColNumber,
    ColUser,
    ColPath,
    ColScanner,
    ColTime,
    ColStatus,
    ColumnCount
};

} // namespace

LogWindow::LogWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::LogWindow), m_actionDelete(nullptr)
{
    ui->setupUi(this);

    m_actionDelete =
        new QAction(QIcon(QStringLiteral(":/PreviewWindow/res/remove.png")), tr("Delete"), this);
    m_actionDelete->setObjectName(QStringLiteral("action_delete"));
    ui->toolBar->addAction(m_actionDelete);
    connect(m_actionDelete, &QAction::triggered, this, &LogWindow::slotDelete);

    QTableWidget *table = ui->tableWidget;
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels(
        {tr("No."), tr("User"), tr("Path"), tr("Scanner"), tr("Time"), tr("Status")});
    const int widths[ColumnCount] = {120, 120, 120, 140, 140, 160};
    for (int c = 0; c < ColumnCount; ++c)
        table->setColumnWidth(c, widths[c]);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setHighlightSections(false);
    // Wrapped text is never elided, so wrapping is off for long paths to end in "...".
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);

    ReadLog();
}

LogWindow::~LogWindow()
{
    delete ui;
}

void LogWindow::ReadLog()
{
    QFile file(QString::fromLatin1(kLogFile));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QList<LogRecord> records;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!LogRecord::isBlank(line))
            records.append(LogRecord::parse(line));
    }
    file.close();

    QTableWidget *table = ui->tableWidget;
    table->setRowCount(0);
    // Record k of N goes to row N - k: the newest on top, the oldest at the bottom as number 1.
    const int count = records.size();
    table->setRowCount(count);
    for (int k = 1; k <= count; ++k) {
        const LogRecord &r = records.at(k - 1);
        const int row = count - k;
        const QString cells[ColumnCount] = {QString::number(k), r.user, r.path,
                                            r.scanner,          r.time, r.status};
        for (int c = 0; c < ColumnCount; ++c)
            table->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

void LogWindow::slotDelete()
{
    ui->tableWidget->setRowCount(0);
    QFile::remove(QString::fromLatin1(kLogFile));
}
