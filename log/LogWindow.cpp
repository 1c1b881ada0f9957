#include "log/LogWindow.h"

#include "account/LoginDialog.h"
#include "log/LogRecord.h"
#include "ui_LogWindow.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QStatusBar>
#include <QTableWidgetItem>

#include <sys/stat.h>

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

QByteArray fileId(const QFile &file)
{
    struct stat st;
    if (fstat(file.handle(), &st) != 0)
        return QByteArray();
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the newest `keep` records of the file start, and how many records lie before them.
// One pass over the bytes, remembering only the starts of the last `keep` records.
qint64 newestRecordsStart(QFile &file, int keep, int *before)
{
    QVector<qint64> starts(keep);
    qint64 total = 0;
    qint64 lineStart = 0;
    qint64 pos = 0;
    bool text = false;
    file.seek(0);
    for (QByteArray chunk = file.read(1 << 20); !chunk.isEmpty(); chunk = file.read(1 << 20)) {
        for (const char c : qAsConst(chunk)) {
            ++pos;
            if (c == '\n') {
                if (text)
                    starts[int(total++ % keep)] = lineStart;
                lineStart = pos;
                text = false;
            } else if (!isWhite(c)) {
                text = true;
            }
        }
    }
    if (text)
        starts[int(total++ % keep)] = lineStart;
    *before = int(qMax<qint64>(0, total - keep));
    return total <= keep ? 0 : starts[int(total % keep)];
}

} // namespace

LogWindow::LogWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::LogWindow), m_actionDelete(nullptr), m_olderNote(nullptr),
      m_readUpTo(0), m_records(0), m_partialShown(false)
{
    ui->setupUi(this);
    m_olderNote = new QLabel(
        tr("Only the newest %1 records are shown; older ones are in the log file").arg(MaxRows),
        this);
    m_olderNote->setObjectName(QStringLiteral("label_olderRecords"));
    m_olderNote->hide();
    ui->statusbar->addWidget(m_olderNote);

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
    QTableWidget *table = ui->tableWidget;
    if (m_partialShown) { // read again below, complete or not
        table->removeRow(0);
        --m_records;
        m_partialShown = false;
    }
    // Another file, or one that no longer continues what was read: start again from its
    // newest records.
    const QByteArray id = fileId(file);
    const bool continues = !m_fileId.isEmpty() && id == m_fileId && file.size() >= m_readUpTo &&
                           (m_readUpTo == 0 || (file.seek(m_readUpTo - 1) && file.read(1) == "\n"));
    if (!continues) {
        forget();
        m_fileId = id;
        int before = 0;
        m_readUpTo = newestRecordsStart(file, MaxRows, &before);
        m_records = before;
        m_olderNote->setVisible(before > 0);
    }

    QList<LogRecord> records;
    file.seek(m_readUpTo);
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        const bool whole = line.endsWith('\n');
        if (whole)
            m_readUpTo += line.size();
        if (!LogRecord::isBlank(line)) {
            records.append(LogRecord::parse(line));
            m_partialShown = !whole;
        }
    }
    file.close();

    // New records go on top, the newest first, numbered on from the last one shown.
    table->model()->insertRows(0, records.size());
    for (int k = 0; k < records.size(); ++k) {
        const LogRecord &r = records.at(k);
        const int row = records.size() - 1 - k;
        const QString cells[ColumnCount] = {
            QString::number(++m_records), r.user, r.path, r.scanner, r.time, r.status};
        for (int c = 0; c < ColumnCount; ++c)
            table->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    if (table->rowCount() > MaxRows) {
        table->setRowCount(MaxRows);
        m_olderNote->show();
    }
}

void LogWindow::forget()
{
    ui->tableWidget->setRowCount(0);
    m_fileId.clear();
    m_readUpTo = 0;
    m_records = 0;
    m_partialShown = false;
    m_olderNote->hide();
}

void LogWindow::slotDelete()
{
    // The log is the record of who scanned what: only the administrator may erase it, and only
    // after saying so once more.
    {
        LoginDialog login(nullptr);
        if (login.exec() != QDialog::Accepted)
            return;
    }
    if (QMessageBox::question(nullptr, tr("Information"),
                              tr("Delete every record of the work log? This cannot be undone."),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    forget();
    QFile::remove(QString::fromLatin1(kLogFile));
}
