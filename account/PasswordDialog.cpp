#include "account/PasswordDialog.h"
#include "ui_PasswordDialog.h"

#include "account/AdminPasswordChange.h"
#include "account/LoginStore.h"
#include "account/PasswordDigest.h"

#include <QMessageBox>

PasswordDialog::PasswordDialog(QWidget *parent) : QDialog(parent), ui(new Ui::PasswordDialog)
{
    ui->setupUi(this);
    connect(ui->btn_Ok, &QPushButton::clicked, this, &PasswordDialog::onOk);
    connect(ui->btn_Cancel, &QPushButton::clicked, this, &PasswordDialog::onCancel);
}

PasswordDialog::~PasswordDialog()
{
    delete ui;
}

QString PasswordDialog::GetDBPassword()
{
    return LoginStore::storedPassword();
}

int PasswordDialog::CheckNewPassword(QString password)
{
    if (password.isEmpty())
        return -1;
    bool letter = false;
    bool digit = false;
    for (const QChar c : password) {
        const ushort u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))
            letter = true;
        else if (u >= '0' && u <= '9')
            digit = true;
        else
            return -1;
    }
    return (letter && digit) ? 1 : 0;
}

void PasswordDialog::onOk()
{
    const QString oldPassword = ui->edit_OldPassword->text();
    const QString newPassword = ui->edit_NewPassword->text();
    const QString confirm = ui->edit_ConfirmPassword->text();
    const QString stored = GetDBPassword();
    // Counted in characters: a character outside the basic plane takes two UTF-16 units.
    const int length = newPassword.toUcs4().size();

    if (!PasswordDigest::matches(oldPassword, stored)) {
        complain(tr("Old password is not corrected, please try again!"));
        return;
    }
    if (length < 6) {
        complain(tr("the length of password can not less than 6, please try again!"));
        return;
    }
    if (length > 16) {
        complain(tr("the length of password can not more than 16, please try again!"));
        return;
    }
    if (newPassword != confirm) {
        complain(tr("new password and confirm password is not consistence, please try again!"));
        return;
    }
    if (oldPassword == newPassword) {
        complain(tr("Old password can not equal to new password, please try again!"));
        return;
    }
    if (CheckNewPassword(newPassword) == -1) {
        complain(tr("The password is a string of 6 to 16 letters, numbers, please try again!"));
        return;
    }

    // A change that did not reach the file must not be reported as done. Where only the system
    // administrator may write the file, the way to do it is said in a box of its own.
    const AdminPasswordChange::Result result =
        AdminPasswordChange::store(PasswordDigest::make(newPassword));
    if (result == AdminPasswordChange::NeedsAdministrator)
        QMessageBox::warning(nullptr, tr("Warning"), AdminPasswordChange::resultText(result),
                             QMessageBox::Ok);
    else if (result != AdminPasswordChange::Saved)
        complain(AdminPasswordChange::resultText(result));
    else
        accept();
}

void PasswordDialog::onCancel()
{
    reject();
}

void PasswordDialog::complain(const QString &text)
{
    ui->label_Info->setText(text);
    ui->label_Info->show();
}
