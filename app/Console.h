#pragma once

#include <functional>

class ConsoleInstance;
class MainWindow;
class QApplication;

// The console as main runs it once the application object exists: the working folder, the
// catalogues and the font; one console per user (a second start brings the running console's
// window to the front and ends); SIGTERM, SIGINT and SIGHUP taken as 退出 (the run under way
// cancelled, its pages collected, saved and recorded, the page store removed), also while a
// prompt is open; the settings, the style sheet and the main window; the pages of a console that
// ended abnormally offered; then the event loop.
namespace Console {

// Called once the window is up and recovery has been offered (tests drive the console there).
using Ready = std::function<void(MainWindow &, ConsoleInstance &)>;

// Returns the exit code.
int run(QApplication &app, const Ready &ready = {});

// Closes the message boxes and dialogs open now, each as rejected (a question closed this way
// has no answer); a progress dialog is no prompt and stays.
void closePrompts();

} // namespace Console
