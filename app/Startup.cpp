#include "app/Startup.h"

#include "imaging/ImageManager.h"
#include "imaging/PageRecovery.h"
#include "preview/PreviewWindow.h"
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

int offerPageRestore(PreviewWindow *preview)
{
    ImageManager *store = ImageManager::Instance();
    PageRecovery found(store->folderRoot());
    if (found.pageCount() == 0)
        return 0;
    const int answer = QMessageBox::question(
        nullptr, QCoreApplication::translate("Startup", "Information"),
        QCoreApplication::translate(
            "Startup", "%1 scanned page(s) from last time were not saved. Restore them?")
            .arg(found.pageCount()),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        found.discard();
        return 0;
    }
    const int first = store->count();
    const int restored = found.restore(store);
    if (preview) {
        for (int i = first; i < store->count(); ++i)
            preview->AddImage(store->at(i));
        preview->show();
    }
    return restored;
}

void removeMaximizeButton(QWidget &window)
{
    window.setWindowFlags(window.windowFlags() & ~Qt::WindowMaximizeButtonHint);
}

} // namespace Startup
