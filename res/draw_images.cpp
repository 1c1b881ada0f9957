// Draws the console's images into the folder given on the command line.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

static bool save(const QString &dir, const char *name, const QImage &image)
{
    return image.save(dir + QLatin1Char('/') + QLatin1String(name));
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    QImage icon(860, 860, QImage::Format_RGB32);
    icon.fill(QColor(59, 79, 129));
    bool ok = save(dir, "MainWin.jpg", icon);
    QImage small(64, 64, QImage::Format_ARGB32);
    small.fill(QColor(93, 107, 153));
    for (const char *n : {"SaveFile.png", "Screenshot.png", "rotate_ccw.png", "rotate_cw.png",
                          "resize.png", "MainWin64.png"})
        ok = save(dir, n, small) && ok;
    QImage remove(24, 32, QImage::Format_ARGB32);
    remove.fill(QColor(128, 128, 128, 200));
    ok = save(dir, "remove.png", remove) && ok;
    QImage combox(31, 16, QImage::Format_Indexed8);
    combox.setColorCount(2);
    combox.setColor(0, qRgb(255, 255, 255));
    combox.setColor(1, qRgb(59, 79, 129));
    combox.fill(0);
    ok = save(dir, "combox.png", combox) && ok;
    return ok ? 0 : 1;
}
