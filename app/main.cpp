#include "app/Console.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::keepPageMemory();
    QApplication app(argc, argv);
    return Console::run(app);
}
