#pragma once

#include "scan/ScannerDiscovery.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// "选择扫描仪": lists the scanners SANE finds (searched when the dialog opens and again on
// "搜索扫描仪"), takes a chosen one or a typed address, tests it ("测试连接": its make and
// model, or why not) and on OK stores it as the console's scanner (record and the operator's
// parameter file). Discovery and the test are ScannerDiscovery and ScannerCheck; this only
// wires them.
class ScannerDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ScannerDialog(QWidget *parent = nullptr);
    ~ScannerDialog() override;

    // Opens the dialog modally; true when a scanner was stored.
    static bool choose(QWidget *parent = nullptr);
    ScannerDiscovery *discovery() { return &m_discovery; }

private slots:
    void onSearch();
    void onFound(const QList<FoundScanner> &scanners, const QString &problem);
    void onRowChosen();
    void onTest();
    void onChecked(bool ok, const QString &text);
    void onBtnOk();

private:
    ScannerDiscovery m_discovery;
    QList<FoundScanner> m_found;
    QTableWidget *m_table;
    QPushButton *m_search;
    QProgressBar *m_busy;
    QLabel *m_searchState;
    QLineEdit *m_address;
    QPushButton *m_test;
    QLabel *m_testResult;
    QString m_chosenName; // the listed name of the address in m_address, if it is one
};
