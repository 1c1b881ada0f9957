#pragma once

#include <QDialog>

namespace Ui {
class CustomDialog;
}

// Chooses which parameter controls the custom interface mode shows (23 of the 25 flags).
class CustomDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CustomDialog(QWidget *parent = nullptr);
    ~CustomDialog() override;

    // Sets every check box from its flag in the settings record.
    void initCheckBox();

private slots:
    void onOk();
    void onCancel();

private:
    Ui::CustomDialog *ui;
};
