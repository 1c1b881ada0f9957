#include "account/LoginDialog.h"
#include "ui_LoginDialog.h"

#include "account/LoginStore.h"
#include "account/MD5.h"
#include "account/PasswordDigest.h"

#include <QMessageBox>

LoginDialog::LoginDialog(QWidget *parent) : QDialog(parent), ui(new Ui::LoginDialog)
{
    ui->setupUi(this);
    connect(ui->btn_Login, &QPushButton::clicked, this, &LoginDialog::onLogin);
    connect(ui->btn_cancel, &QPushButton::clicked, this, &LoginDialog::onCancel);
}

LoginDialog::~LoginDialog()
{
    delete ui;
}

void LoginDialog::onLogin()
{
    const QString user = ui->edit_user->text();
    const QString password = ui->edit_password->text();
    if (user.isEmpty()) {
        warn(tr("User is null"));
        return;
    }
    if (password.isEmpty()) {
        warn(tr("Password is null"));
        return;
    }

    // A file others could have written proves nothing about who knows the password.
    if (!LoginStore::isTrusted()) {
        warn(tr("The administrator account file %1 can be changed by other users and is not used")
                 .arg(LoginStore::filePath()));
        return;
    }
    // Only digests are compared; the entered password is never kept or written anywhere.
    if (MD5::Encry(user) == LoginStore::storedUser() &&
        PasswordDigest::matches(password, LoginStore::storedPassword())) {
        accept();
        return;
    }
    warn(tr("User or Password is wrong"));
}

void LoginDialog::onCancel()
{
    reject();
}

void LoginDialog::warn(const QString &text)
{
    QMessageBox::warning(nullptr, tr("Warning"), text, QMessageBox::Ok);
}
