#include "preview/PageSaveProgress.h"

#include "preview/PageSaveThread.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

PageSaveProgress *PageSaveProgress::start(QWidget *window, const QList<PageExport::File> &files,
                                          bool overwrite,
                                          const std::function<void(PageSaveThread *)> &watch)
{
    return new PageSaveProgress(window, files, overwrite, watch);
}

PageSaveProgress::PageSaveProgress(QWidget *window, const QList<PageExport::File> &files,
                                   bool overwrite,
                                   const std::function<void(PageSaveThread *)> &watch)
    : QDialog(window), m_thread(new PageSaveThread(files, overwrite))
{
    setObjectName(QStringLiteral("PageSaveProgress"));
    setWindowTitle(tr("Save"));
    setWindowModality(Qt::WindowModal);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label_saveProgress"));
    m_label->setMinimumWidth(240);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar_save"));
    m_bar->setRange(0, files.size());
    m_bar->setValue(0);
    m_bar->setTextVisible(false); // the label gives the count
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("btn_cancelSave"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    onUpdateProgress(files.isEmpty() ? 0 : 1, files.size());

    connect(m_cancel, &QPushButton::clicked, this, &PageSaveProgress::onCancel);
    connect(m_thread.get(), &PageSaveThread::UpdateProgress, this,
            &PageSaveProgress::onUpdateProgress);
    connect(m_thread.get(), &PageSaveThread::UpdateRecognition, this,
            &PageSaveProgress::onUpdateRecognition);
    connect(m_thread.get(), &PageSaveThread::SaveFinished, this, &PageSaveProgress::onSaveFinished);

    m_showTimer = new QTimer(this);
    m_showTimer->setSingleShot(true);
    connect(m_showTimer, &QTimer::timeout, this, &QDialog::show);
    m_showTimer->start(ShowDelayMs);
    if (watch)
        watch(m_thread.get());
    m_thread->start();
}

PageSaveProgress::~PageSaveProgress() = default; // the thread's own end stops and waits for it

void PageSaveProgress::onUpdateProgress(int number, int total)
{
    m_label->setText(tr("Saving %1/%2").arg(number).arg(total));
    m_bar->setValue(number - 1);
}

void PageSaveProgress::onUpdateRecognition(int done, int total)
{
    m_label->setText(tr("Text recognition %1/%2").arg(done).arg(total));
    m_bar->setRange(0, total);
    m_bar->setValue(done);
}

void PageSaveProgress::onCancel()
{
    m_thread->Finish();
    m_cancel->setEnabled(false);
}

void PageSaveProgress::reject()
{
    // The dialog stays until the thread has stopped, which is at most the file in hand.
    onCancel();
}

void PageSaveProgress::onSaveFinished(const QStringList &failed, bool cancelled)
{
    m_thread->wait(); // SaveFinished is the run's last word
    m_showTimer->stop();
    hide();
    if (!failed.isEmpty())
        QMessageBox::warning(nullptr, tr("Warning"), tr("Could not write %1").arg(failed.first()));
    emit Finished(cancelled);
    deleteLater();
}
