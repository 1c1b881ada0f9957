#pragma once

#include <QDialog>

namespace Ui {
class PasswordDialog;
}

// Change of the administrator password. Complaints go to the red label; the dialog is accepted
// only when the new digest is really in config/Login.ini (written by the console itself, or on
// an installation by the password helper through pkexec: AdminPasswordChange).
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PasswordDialog(QWidget *parent = nullptr);
    ~PasswordDialog() override;

    // The stored password digest, empty when the file or the key is missing.
    QString GetDBPassword();
    // -1: empty or a character other than A-Z, a-z, 0-9; 1: letters and digits; 0: only one kind.
    int CheckNewPassword(QString password);

private slots:
    void onOk();
    void onCancel();

private:
    void complain(const QString &text);

    Ui::PasswordDialog *ui;
};
