#include "app/Startup.h"

#include "settings/ParamSetting.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QTranslator>
#include <QWidget>

namespace Startup {

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

void removeMaximizeButton(QWidget &window)
{
    window.setWindowFlags(window.windowFlags() & ~Qt::WindowMaximizeButtonHint);
}

} // namespace Startup
