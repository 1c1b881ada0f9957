#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers modal dialogs and message boxes as they appear: each queued action is applied to the
// next new modal widget, and what every box showed (title, text) is recorded for the test.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString className;
        QString title;
        QString text;
        QStringList filters; // a file dialog's name filters
    };

    explicit ModalAnswerer(QObject *parent = nullptr);

    // Applies `action` to the next modal widget that appears.
    void expect(std::function<void(QWidget *)> action);
    // Presses `button` on the next message box.
    void expectMessageBox(QMessageBox::StandardButton button = QMessageBox::Ok);
    // Accepts the next file dialog with the given selection (a file or a folder).
    void expectFileDialog(const QString &selection);
    // Cancels the next dialog.
    void expectReject();

    // Waits (processing events) until `count` modal widgets have been seen or answered.
    bool waitSeen(int count, int timeoutMs = 10000);

    QList<Seen> seen;

private:
    void poll();

    QTimer m_timer;
    QList<std::function<void(QWidget *)>> m_actions;
    QList<QPointer<QWidget>> m_handled;
};
