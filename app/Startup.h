#pragma once

#include <QString>

class PreviewWindow;
class QApplication;
class QTranslator;
class QWidget;

// The start-up steps that come before the main window exists, in the order main runs them.
namespace Startup {

// Lets the allocator keep freed page buffers for the next page instead of giving them back to the
// system at once: a 300 dpi colour page needs 35 MB, and mapping that afresh for every page costs
// more than decoding it (page faults; three times the pages per minute on a virtual machine).
// Memory stays bounded: the same few buffers serve page after page.
void keepPageMemory();
// Loads Qt's own catalogue, then ours, into the two translators and installs them.
void installTranslators(QApplication &app, QTranslator &qtCatalogue, QTranslator &ownCatalogue);
// Sets the application font: point size 8, family "Microsoft YaHei", weight 50.
void applyFont(QApplication &app);
// Loads the parameters, the printer address and the visibility flags from their default files.
void loadSettings();
// Reads the application style sheet from the resource collection (empty when it is missing).
QString readStyleSheet(const QString &resource = QStringLiteral(":/qss/res/MainWindow.qss"));

// Offers the pages of the runs of consoles that ended abnormally (PageRecovery): one question
// with their number and how many of them were not saved ("发现上次未正常结束的扫描：共 N 页，其中 M
// 页尚未保存。是否恢复？"), naming the pages that cannot be read; Yes puts them back into the page
// store and `preview` (shown then), in order and with their names; No deletes them; a question
// closed without an answer (the console is being ended) leaves them for the next start. Folders
// of consoles still running are left alone. Returns the number of pages restored.
int offerPageRestore(PreviewWindow *preview);

// Clears the maximise-button hint from the window's flags (minimise and close stay).
void removeMaximizeButton(QWidget &window);

} // namespace Startup
