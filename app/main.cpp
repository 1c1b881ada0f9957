#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/WorkingDirectory.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
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

    MainWindow window;
    Startup::removeMaximizeButton(window);
    window.show();

    return app.exec();
}
