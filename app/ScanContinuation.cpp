#include "app/ScanContinuation.h"

#include "app/ScanResultText.h"
#include "app/ScanRun.h"
#include "pages/ImageManager.h"
#include "settings/SaveFormat.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

ScanContinuation::ScanContinuation(QMenu *menu, QAction *after, QObject *parent)
    : QObject(parent), m_action(new QAction(tr("Continue scan"), this))
{
    m_action->setObjectName(QStringLiteral("action_continueScan"));
    m_action->setEnabled(false);
    const QList<QAction *> actions = menu->actions();
    menu->insertAction(actions.value(actions.indexOf(after) + 1), m_action);
    connect(m_action, &QAction::triggered, this, &ScanContinuation::request);
}

std::unique_ptr<ScanRun> ScanContinuation::makeRun(const ScanSettings &settings,
                                                   const QString &address, bool saveFiles,
                                                   bool continued)
{
    if (!continued || !canContinue()) {
        auto run = std::make_unique<ScanRun>(settings, address, saveFiles);
        m_document.begin(run.get(), settings, address, saveFiles);
        m_wanted = false;
        update();
        return run;
    }
    const ScanSettings &own = m_document.settings();
    auto run = std::make_unique<ScanRun>(own, m_document.address(), m_document.saveFiles());
    if (m_document.saveFiles() && SaveFormat::isSearchable(own.save_type)) {
        // The searchable document is written anew from every page: the earlier ones first.
        QList<PageSource> earlier;
        ImageManager *store = ImageManager::Instance();
        for (int i = 0; i < store->count(); ++i)
            if (store->at(i) && !store->at(i)->skipped)
                earlier << store->sourceAt(i);
        run->continueDocument(earlier);
    }
    m_document.continueWith(run.get());
    update();
    return run;
}

RunReport ScanContinuation::report(const ScanRun &run) const
{
    return m_document.whole(&run, run.report());
}

RunReport ScanContinuation::ended(const ScanRun &run)
{
    const RunReport report = m_document.ended(&run, run.report());
    update();
    if (m_wanted && canContinue()) {
        m_wanted = false;
        QTimer::singleShot(0, this, &ScanContinuation::ContinueRequested);
    }
    return report;
}

void ScanContinuation::warn(const RunReport &report)
{
    const QString text = report.resultWarning();
    if (text.isEmpty())
        return;
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("MainWindow", "Warning"),
                    text, QMessageBox::Ok);
    QPushButton *onward = nullptr;
    if (ScanResultText::offersContinue(report.resultCode) && m_document.exists()) {
        onward = box.addButton(tr("Continue scan"), QMessageBox::AcceptRole);
        onward->setObjectName(QStringLiteral("btn_continueScan"));
        box.setDefaultButton(onward);
    }
    box.exec();
    if (onward && box.clickedButton() == onward)
        request();
}

void ScanContinuation::setIdle(bool idle)
{
    m_idle = idle;
    update();
}

void ScanContinuation::request()
{
    if (canContinue() && m_idle)
        QTimer::singleShot(0, this, &ScanContinuation::ContinueRequested);
    else if (m_document.exists())
        m_wanted = true; // once the document's last run is over
}

void ScanContinuation::update()
{
    m_action->setEnabled(m_idle && canContinue());
}
