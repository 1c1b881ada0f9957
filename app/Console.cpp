#include "app/Console.h"

#include "app/ConsoleInstance.h"
#include "app/MainWindow.h"
#include "app/QuitSignals.h"
#include "app/Startup.h"
#include "app/WorkingDirectory.h"
#include "pages/ImageManager.h"
#include "pages/PageStoreFolder.h"
#include "preview/PreviewWindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <QTranslator>

namespace Console {

void closePrompts()
{
    // Innermost first; each closed one lets the one below come to the top.
    for (int i = 0; i < 16; ++i) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || qobject_cast<QProgressDialog *>(modal))
            return;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->close();
    }
}

int run(QApplication &app, const Ready &ready)
{
    // A desktop launch starts in "/": the work log then goes to the home folder.
    WorkingDirectory::apply();

    QTranslator qtCatalogue;
    QTranslator ownCatalogue;
    Startup::installTranslators(app, qtCatalogue, ownCatalogue);
    Startup::applyFont(app);

    // Beside the page store: the user's own.
    ConsoleInstance instance(QFileInfo(PageStoreFolder::defaultRoot()).path());
    if (!instance.claim()) {
        if (!instance.answered())
            QMessageBox::warning(
                nullptr, QCoreApplication::translate("Console", "Warning"),
                QCoreApplication::translate(
                    "Console", "The scanning console is already running, but it does not answer."),
                QMessageBox::Ok);
        return 0;
    }
    QuitSignals quitSignals;

    // The window's constructor copies the settings into its controls, so they come first.
    Startup::loadSettings();
    app.setStyleSheet(Startup::readStyleSheet());

    int result = 0;
    {
        MainWindow window;
        Startup::removeMaximizeButton(window);
        window.show();
        QObject::connect(&instance, &ConsoleInstance::RaiseRequested, &window, [&window] {
            window.showNormal();
            window.raise();
            window.activateWindow();
        });

        // The console's own quit road (退出), with every prompt closed first, also those that
        // open while it is taken.
        QAction *quit = window.findChild<QAction *>(QStringLiteral("action_quit"));
        QTimer prompts;
        prompts.setInterval(50);
        QObject::connect(&prompts, &QTimer::timeout, &closePrompts);
        QObject::connect(&quitSignals, &QuitSignals::Received, &window, [&prompts, quit] {
            if (prompts.isActive())
                return;
            closePrompts();
            prompts.start();
            quit->trigger();
        });

        // Pages a console that ended abnormally left behind are offered before anything else.
        Startup::offerPageRestore(PreviewWindow::m_Instance);
        if (quitSignals.received() == 0 && ready)
            ready(window, instance);
        // A quit that came before the loop ran (in a prompt's loop) is taken inside it.
        if (quitSignals.received() != 0)
            QTimer::singleShot(0, quit, &QAction::trigger);
        result = app.exec();
    }
    // A normal end (the window's end has waited for its workers): the page store's folder goes.
    // A console that ends abnormally leaves it, and the next start offers its pages.
    ImageManager::Instance()->ClearImages();
    return result;
}

} // namespace Console
