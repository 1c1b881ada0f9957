#pragma once

#include <QProgressDialog>

class QPushButton;

// The "Please wait" dialog of a running scan or preview: a busy bar (the number of pages is not
// known beforehand), the pages scanned so far, and Cancel. Cancel, Escape and the window's close
// button all ask for the cancel (canceled()); the dialog stays, saying that the scan is being
// stopped, until the window deletes it at the end of the run.
class RunProgressDialog : public QProgressDialog
{
    Q_OBJECT

public:
    explicit RunProgressDialog(QWidget *parent);

    void setPagesScanned(int pages);
    // The cancel has been asked for: the scan program is being stopped.
    void setCancelling();
    // The scan program has ended; the last pages are being saved and nothing can be cancelled.
    void setFinishing();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showState();

    QPushButton *m_cancelButton;
    QString m_state;
    int m_pages;
};
