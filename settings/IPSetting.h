#pragma once

#include <QDialog>

namespace Ui {
class IPSetting;
}

// Edits the printer address: an IPv4 address, a host name or a scanner URL (PrinterAddress).
// OK checks it and stores it normalised in the record and the operator's parameter file; a
// refused address is named in a warning and the dialog stays open.
class IPSetting : public QDialog
{
    Q_OBJECT

public:
    explicit IPSetting(QWidget *parent = nullptr);
    ~IPSetting() override;

private slots:
    void onBtnOk();
    void onBtnCancel();

private:
    Ui::IPSetting *ui;
};
