#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/WorkingDirectory.h"
#include "imaging/ImageManager.h"
#include "preview/PreviewWindow.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    Startup::keepPageMemory();
    QApplication app(argc, argv);
    // A desktop launch starts in "/": the work log then goes to the home folder.
    WorkingDirectory::apply();

    QTranslator qtCatalogue;
    QTranslator ownCatalogue;
    Startup::installTranslators(app, qtCatalogue, ownCatalogue);
    Startup::applyFont(app);

    // The window's constructor copies the settings into its controls, so they come first.
    Startup::loadSettings();
    app.setStyleSheet(Startup::readStyleSheet());

    int result = 0;
    {
        MainWindow window;
        Startup::removeMaximizeButton(window);
        window.show();
        // Pages a console that ended abnormally left behind are offered before anything else.
        Startup::offerPageRestore(PreviewWindow::m_Instance);
        result = app.exec();
    }
    // A normal end (the window's end has waited for its workers): the page store's folder goes.
    // A console that ends abnormally leaves it, and the next start offers its pages.
    ImageManager::Instance()->ClearImages();
    return result;
}
