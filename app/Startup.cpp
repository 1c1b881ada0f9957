#include "app/Startup.h"

#include "pages/ImageManager.h"
#include "preview/PreviewWindow.h"
#include "scan/PageRecovery.h"
#include "settings/ParamSetting.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QMessageBox>
#include <QTranslator>
#include <QWidget>

#include <malloc.h>

namespace Startup {

void keepPageMemory()
{
    // Blocks up to 256 MB (an A3 page at 600 dpi is 280 MB) come from the heap, which keeps up
    // to 512 MB of free memory at its end rather than returning it.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
}

void installTranslators(QApplication &app, QTranslator &qtCatalogue, QTranslator &ownCatalogue)
{
    // A catalogue that does not load is left out; its texts then show their source strings.
    if (qtCatalogue.load(QStringLiteral(":/qt_zh_CN.qm")))
        app.installTranslator(&qtCatalogue);
    // Installed last, so it is asked first.
    if (ownCatalogue.load(QStringLiteral(":/language_zh_CN.qm")))
        app.installTranslator(&ownCatalogue);
}

void applyFont(QApplication &app)
{
    QFont font;
    font.setPointSize(8);
    font.setFamily(QStringLiteral("Microsoft YaHei"));
    font.setWeight(50);
    app.setFont(font);
}

void loadSettings()
{
    ParamSetting::instance.loadParamSettings(QString());
    ParamSetting::instance.loadIPSettings(QString());
    ParamSetting::instance.loadVisibleSettings();
}

QString readStyleSheet(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.readAll();
    file.close();
    // Text up to the first NUL byte, if there is one.
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Startup", text);
}

// "N page(s) cannot be read ...: name, name, ..." (the first few names).
QString unreadableText(const char *text, const QStringList &names)
{
    const int shown = 8;
    QStringList list = names.mid(0, shown);
    if (names.size() > shown)
        list << QStringLiteral("...");
    return tr(text).arg(names.size()).arg(list.join(tr(", ")));
}

} // namespace

int offerPageRestore(PreviewWindow *preview)
{
    ImageManager *store = ImageManager::Instance();
    PageRecovery found(store->folderRoot());
    const QStringList unreadable = found.unreadable();
    if (found.pageCount() == 0 && unreadable.isEmpty())
        return 0;
    const QString notRead =
        unreadable.isEmpty()
            ? QString()
            : unreadableText("%1 page(s) cannot be read and cannot be restored: %2", unreadable);
    if (found.pageCount() == 0) {
        QMessageBox box(QMessageBox::Warning, tr("Warning"),
                        tr("The last scan did not end normally.") + QLatin1Char('\n') + notRead,
                        QMessageBox::Ok);
        if (box.exec() == QMessageBox::Ok)
            found.discard();
        return 0;
    }
    QString question = tr("The last scan did not end normally: %1 page(s) in all, %2 of them not "
                          "saved yet. Restore them?")
                           .arg(found.pageCount())
                           .arg(found.unsavedCount());
    if (!notRead.isEmpty())
        question += QLatin1Char('\n') + notRead;
    QMessageBox box(QMessageBox::Question, tr("Information"), question,
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    const int answer = box.exec();
    if (answer == QMessageBox::No)
        found.discard();
    // Closed without an answer (the console is being ended): the pages wait for the next start.
    if (answer != QMessageBox::Yes)
        return 0;
    const int first = store->count();
    const int restored = found.restore(store);
    if (preview) {
        for (int i = first; i < store->count(); ++i)
            preview->AddImage(store->at(i));
        preview->show();
    }
    const QStringList failed = found.unreadable().mid(unreadable.size());
    if (!failed.isEmpty())
        QMessageBox::warning(nullptr, tr("Warning"),
                             unreadableText("%1 page(s) could not be restored: %2", failed),
                             QMessageBox::Ok);
    return restored;
}

void removeMaximizeButton(QWidget &window)
{
    window.setWindowFlags(window.windowFlags() & ~Qt::WindowMaximizeButtonHint);
}

} // namespace Startup
