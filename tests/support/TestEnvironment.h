#pragma once

#include <QString>

#include <functional>

class QApplication;
class QWidget;

// Shared set-up of every test program: the console's start-up state, a loopback-only printer
// address and a stand-in `ping` first on PATH, so no test ever sends traffic off this machine.
namespace TestEnvironment {

// Called once by SCANCONSOLE_TEST_MAIN before the test object runs.
void prepare(QApplication &app);
// A /tmp of this test program's own (and of every process it starts) when CTest names a folder
// in SCANCONSOLE_PRIVATE_TMP: that folder, emptied, over /tmp in a mount namespace of its own, so
// programs that use the fixed page folder "/tmp/tempimages" run side by side. Where no namespace
// can be made (not root), such programs run one at a time instead (a lock file in the real /tmp).
// Called by SCANCONSOLE_TEST_MAIN first, before any thread exists.
void isolateTmp();

// The test program's application directory and its config/ folder (the machine's defaults).
QString appDir();
QString configDir();
// The operator's own settings folder ($XDG_CONFIG_HOME/veldrin-scan; CTest gives each test
// program its own XDG_CONFIG_HOME and HOME).
QString operatorConfigDir();
// Removes config/ and the operator's folder, and writes a ParamSetting.ini of defaults holding
// only the loopback printer address.
void resetConfig();
// Runs `action` in a child process as the throwaway user `uid` (its group the same number):
// another operator of the machine. Returns the child's exit code, or -1 when it could not run
// as that user (the test is not root).
int runAsOtherUser(unsigned uid, const std::function<int()> &action);
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

} // namespace TestEnvironment

#define SCANCONSOLE_TEST_MAIN(TestObject)                                                          \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestEnvironment::isolateTmp();                                                             \
        QApplication app(argc, argv);                                                              \
        TestEnvironment::prepare(app);                                                             \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
