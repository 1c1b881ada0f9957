#include "app/ScannerDialog.h"

#include "scan/ScannerCheck.h"
#include "settings/ParamSetting.h"
#include "settings/PrinterAddress.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace {

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

ScannerDialog::ScannerDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ScannerDialog"));
    setWindowTitle(tr("Choose scanner"));
    setWindowIcon(QIcon(QStringLiteral(":/PreviewWindow/res/MainWin.jpg")));
    resize(560, 380);

    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("table_scanners"));
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("Kind"), tr("Address")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);

    m_search = button(tr("Search for scanners"), "btn_search", this);
    m_search->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("progress_search"));
    m_busy->setRange(0, 0); // moves without a known end
    m_busy->setTextVisible(false);
    m_busy->setMaximumHeight(12);
    m_searchState = new QLabel(this);
    m_searchState->setObjectName(QStringLiteral("label_searchState"));
    m_searchState->setWordWrap(true);

    auto *addressLabel = new QLabel(tr("Address:"), this);
    m_address = new QLineEdit(ParamSetting::instance.printerAddress(), this);
    m_address->setObjectName(QStringLiteral("edit_address"));
    m_address->setPlaceholderText(tr("IPv4 address, host name or http(s)://host:port/eSCL"));
    m_chosenName = ParamSetting::instance.printer_name;
    m_test = button(tr("Test connection"), "btn_test", this);
    m_testResult = new QLabel(this);
    m_testResult->setObjectName(QStringLiteral("label_testResult"));
    m_testResult->setWordWrap(true);
    m_testResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *ok = button(tr("OK"), "btn_Ok", this);
    ok->setDefault(true);
    auto *cancel = button(tr("Cancel"), "btn_cancel", this);

    auto *grid = new QGridLayout(this);
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(m_search);
    searchRow->addWidget(m_busy, 1);
    grid->addLayout(searchRow, 0, 0, 1, 3);
    grid->addWidget(m_searchState, 1, 0, 1, 3);
    grid->addWidget(m_table, 2, 0, 1, 3);
    grid->addWidget(addressLabel, 3, 0);
    grid->addWidget(m_address, 3, 1);
    grid->addWidget(m_test, 3, 2);
    grid->addWidget(m_testResult, 4, 0, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 5, 0, 1, 3);

    connect(m_search, &QPushButton::clicked, this, &ScannerDialog::onSearch);
    connect(&m_discovery, &ScannerDiscovery::Finished, this, &ScannerDialog::onFound);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &ScannerDialog::onRowChosen);
    connect(m_table, &QTableWidget::itemDoubleClicked, this, &ScannerDialog::onBtnOk);
    connect(m_address, &QLineEdit::textEdited, this, [this] { m_chosenName.clear(); });
    connect(m_test, &QPushButton::clicked, this, &ScannerDialog::onTest);
    connect(ok, &QPushButton::clicked, this, &ScannerDialog::onBtnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    onSearch();
}

ScannerDialog::~ScannerDialog() = default;

bool ScannerDialog::choose(QWidget *parent)
{
    ScannerDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

void ScannerDialog::onSearch()
{
    m_discovery.search();
    m_search->setEnabled(false);
    m_busy->show();
    m_searchState->setText(tr("Searching for scanners..."));
}

void ScannerDialog::onFound(const QList<FoundScanner> &scanners, const QString &problem)
{
    m_search->setEnabled(true);
    m_busy->hide();
    m_found = scanners;
    m_table->setRowCount(0);
    for (const FoundScanner &s : scanners) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->setItem(row, 0, new QTableWidgetItem(s.name));
        m_table->setItem(row, 1, new QTableWidgetItem(s.kind));
        m_table->setItem(row, 2, new QTableWidgetItem(s.location));
        if (s.address == m_address->text())
            m_table->selectRow(row);
    }
    QString state = scanners.isEmpty() ? tr("No scanner found; an address can be typed below")
                                       : tr("%1 scanner(s) found").arg(scanners.size());
    if (!problem.isEmpty())
        state += QStringLiteral("; ") + problem;
    m_searchState->setText(state);
}

void ScannerDialog::onRowChosen()
{
    const int row = m_table->currentRow();
    if (row < 0 || row >= m_found.size() || m_table->selectedItems().isEmpty())
        return;
    m_address->setText(m_found.at(row).address);
    m_chosenName = m_found.at(row).name;
    m_testResult->clear();
}

void ScannerDialog::onTest()
{
    QString address;
    const PrinterAddress::Problem problem = PrinterAddress::check(m_address->text(), &address);
    if (problem != PrinterAddress::Ok) {
        m_testResult->setText(PrinterAddress::problemText(problem, m_address->text()));
        return;
    }
    m_test->setEnabled(false);
    m_testResult->setText(tr("Asking the scanner..."));
    auto *check = new ScannerCheck(address, this);
    connect(check, &ScannerCheck::Checked, this, &ScannerDialog::onChecked);
    connect(check, &QThread::finished, check, &QObject::deleteLater);
    check->start();
}

void ScannerDialog::onChecked(bool ok, const QString &text)
{
    m_test->setEnabled(true);
    m_testResult->setText(ok ? tr("Connected: %1").arg(text) : tr("No connection: %1").arg(text));
}

void ScannerDialog::onBtnOk()
{
    const QString typed = m_address->text();
    QString address;
    const PrinterAddress::Problem problem = PrinterAddress::check(typed, &address);
    if (problem != PrinterAddress::Ok) {
        QMessageBox::warning(nullptr, tr("Warning"), PrinterAddress::problemText(problem, typed),
                             QMessageBox::Ok);
        m_address->setFocus();
        return;
    }
    ParamSetting &p = ParamSetting::instance;
    // Through the setter: the reachability monitor copies the address from its own thread.
    p.setPrinterAddress(address);
    p.printer_name = m_chosenName;
    if (!p.saveIPSettings(QString()))
        QMessageBox::warning(nullptr, tr("Warning"),
                             tr("The scanner is used until the console ends, but could not be "
                                "saved"),
                             QMessageBox::Ok);
    accept();
}
