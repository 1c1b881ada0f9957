#pragma once

#include <QString>

class QApplication;
class QImage;
class QWidget;

// Shared set-up of every test program: the console's start-up state, a loopback-only printer
// address and a stand-in `ping` first on PATH, so no test ever sends traffic off this machine.
namespace TestEnvironment {

// Called once by SCANCONSOLE_TEST_MAIN before the test object runs.
void prepare(QApplication &app);

// The test program's application directory and its config/ folder.
QString appDir();
QString configDir();
// Removes config/ and writes a ParamSetting.ini holding only the loopback printer address.
void resetConfig();
// Resets the settings record to its defaults with the loopback printer address.
void resetRecord();
// Empties "/tmp/tempimages" (creating it if needed).
void clearTempImages();
// A folder of stand-in programs that is first on PATH (holds the stand-in `ping`).
QString fakeBinDir();
// Writes an executable shell script `name` into fakeBinDir().
QString writeFakeProgram(const QString &name, const QString &script);
// Saves a picture of `widget` as <name>.png when SCANCONSOLE_SCREENSHOTS names a folder (to
// look at, never compared).
void screenshot(QWidget *widget, const QString &name);
void keepPicture(const QImage &picture, const QString &name);

} // namespace TestEnvironment

#define SCANCONSOLE_TEST_MAIN(TestObject)                                                          \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        TestEnvironment::prepare(app);                                                             \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
