#include "settings/IPSetting.h"
#include "ui_IPSetting.h"

#include "settings/ParamSetting.h"

#include <QIcon>
#include <QRegularExpression>

IPSetting::IPSetting(QWidget *parent) : QDialog(parent), ui(new Ui::IPSetting)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/PreviewWindow/res/MainWin.jpg")));
    // The masked setter spreads the dotted text over the four digit groups.
    ui->edit_IP->setText(ParamSetting::instance.printerAddress());
    connect(ui->btn_Ok, &QPushButton::clicked, this, &IPSetting::onBtnOk);
    connect(ui->btn_cancel, &QPushButton::clicked, this, &IPSetting::onBtnCancel);
}

IPSetting::~IPSetting()
{
    delete ui;
}

void IPSetting::onBtnOk()
{
    // The mask's literal blanks must not reach the address: groups joined by dots remain.
    QString address = ui->edit_IP->text();
    address.remove(QRegularExpression(QStringLiteral("\\s")));
    // Through the setter: the reachability monitor copies the address from its own thread.
    ParamSetting::instance.setPrinterAddress(address);
    ParamSetting::instance.saveIPSettings(QString());
    accept();
}

void IPSetting::onBtnCancel()
{
    reject();
}
