// account/: the administrator's login and password (and their helper), and the log export they
// guard.

#pragma once

#include <QDialog>

namespace Ui {
class LoginDialog;
}

// Administrator login: accepted only when the user name and password match the digests in
// config/Login.ini. Guards the log export.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(QWidget *parent = nullptr);
    ~LoginDialog() override;

private slots:
    void onLogin();
    void onCancel();

private:
    void warn(const QString &text);

    Ui::LoginDialog *ui;
};
