#pragma once

#include <QDialog>

namespace Ui {
class IPSetting;
}

// Edits the printer address; OK stores it in the record and the default parameter file.
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
