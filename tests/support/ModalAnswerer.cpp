#include "tests/support/ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

ModalAnswerer::ModalAnswerer(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

void ModalAnswerer::expect(std::function<void(QWidget *)> action)
{
    m_actions.append(std::move(action));
}

void ModalAnswerer::expectMessageBox(QMessageBox::StandardButton button)
{
    expect([button](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box)
            return;
        if (QAbstractButton *b = box->button(button))
            b->click();
        else
            box->reject();
    });
}

void ModalAnswerer::expectFileDialog(const QString &selection)
{
    expect([selection](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog)
            return;
        // The name field decides for save and folder dialogs alike: type the whole path there.
        dialog->selectFile(selection);
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(selection);
        static_cast<QDialog *>(dialog)->accept();
    });
}

void ModalAnswerer::expectReject()
{
    expect([](QWidget *w) {
        if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
    });
}

bool ModalAnswerer::waitSeen(int count, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (seen.size() < count && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return seen.size() >= count;
}

void ModalAnswerer::poll()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w || !w->isVisible())
        return;
    for (const QPointer<QWidget> &done : m_handled) {
        if (done == w)
            return;
    }
    if (m_actions.isEmpty())
        return;
    m_handled.append(w);

    Seen s;
    s.className = QString::fromLatin1(w->metaObject()->className());
    s.title = w->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(w))
        s.text = box->text();
    if (auto *dialog = qobject_cast<QFileDialog *>(w))
        s.filters = dialog->nameFilters();
    seen.append(s);

    auto action = m_actions.takeFirst();
    // Answer outside the timer slot: the action may start a nested event loop of its own.
    QTimer::singleShot(0, w, [w, action]() { action(w); });
}
