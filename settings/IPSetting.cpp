#include "settings/IPSetting.h"
#include "ui_IPSetting.h"

#include "settings/ParamSetting.h"
#include "settings/PrinterAddress.h"

#include <QIcon>
#include <QMessageBox>

IPSetting::IPSetting(QWidget *parent) : QDialog(parent), ui(new Ui::IPSetting)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/PreviewWindow/res/MainWin.jpg")));
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
    // Only an address with one meaning is stored, in its normal form; a refused one is named
    // and the dialog stays open with the text as typed.
    const QString typed = ui->edit_IP->text();
    QString address;
    const PrinterAddress::Problem problem = PrinterAddress::check(typed, &address);
    if (problem != PrinterAddress::Ok) {
        QMessageBox::warning(nullptr, tr("Warning"), PrinterAddress::problemText(problem, typed),
                             QMessageBox::Ok);
        ui->edit_IP->setFocus();
        return;
    }
    // Through the setter: the reachability monitor copies the address from its own thread.
    ParamSetting::instance.setPrinterAddress(address);
    if (!ParamSetting::instance.saveIPSettings(QString()))
        QMessageBox::warning(nullptr, tr("Warning"),
                             tr("The address is used until the console ends, but could not be "
                                "saved"),
                             QMessageBox::Ok);
    accept();
}

void IPSetting::onBtnCancel()
{
    reject();
}
