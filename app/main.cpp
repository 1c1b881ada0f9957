#include "app/MainWindow.h"
#include "app/Startup.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

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
