// Draws the console's images into the folder given on the command line, or with --icons the
// application icon for the desktop's hicolor theme (FOLDER/<size>x<size>/apps/veldrin-scan.png).
//
// Everything is drawn from shapes in the console's blue-grey palette, so the build needs no
// image files and no particular fonts. Exits non-zero when an image cannot be written.
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QVector>
#include <QtMath>

#include <cstdio>

namespace {

const QColor kDark(0x3B, 0x4F, 0x80);
const QColor kMid(0x5D, 0x6B, 0x99);
const QColor kLight(0xCC, 0xD5, 0xF0);
const QColor kPale(0xE8, 0xEC, 0xF8);
const QColor kAccent(0x5C, 0xAC, 0xEE);
const QColor kAccentDark(0x1B, 0x89, 0xCA);

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void beginPainting(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QPen roundPen(const QColor &color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded top-right corner (or only its outline shape, for a shadow).
void drawPage(QPainter &p, const QRectF &r, qreal fold, const QColor &fill, const QPen &outline,
              bool withCorner = true)
{
    QPainterPath sheet;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    p.setPen(outline);
    p.setBrush(fill);
    p.drawPath(sheet);
    if (!withCorner)
        return;

    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(kLight);
    p.drawPath(corner);
}

// The application icon: a document entering a flatbed scanner under a scan beam. Drawn on a
// canvas of 860 x 860 units; the painter's transform maps it to the target size.
void drawScannerIcon(QPainter &p, bool roundedTile)
{
    const QRectF canvas(0, 0, 860, 860);
    QLinearGradient sky(0, 0, 0, 860);
    sky.setColorAt(0.0, kMid);
    sky.setColorAt(1.0, kDark);
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    if (roundedTile)
        p.drawRoundedRect(canvas, 150, 150);
    else
        p.drawRect(canvas);

    // A soft glow behind the machine lifts it off the background.
    QRadialGradient glow(430, 430, 380);
    glow.setColorAt(0.0, QColor(255, 255, 255, 60));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(430, 430), 380, 380);

    // Shadow under the scanner.
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(QRectF(120, 700, 620, 60), 30, 30);

    // Scanner body and the slot the page feeds into.
    QLinearGradient body(0, 470, 0, 735);
    body.setColorAt(0.0, Qt::white);
    body.setColorAt(0.35, kPale);
    body.setColorAt(1.0, kLight);
    p.setBrush(body);
    p.setPen(QPen(kDark, 6));
    p.drawRoundedRect(QRectF(110, 480, 640, 250), 50, 50);
    p.setPen(Qt::NoPen);
    p.setBrush(kDark);
    p.drawRoundedRect(QRectF(215, 505, 430, 22), 11, 11);

    // The document, cut off where it disappears into the slot.
    const QRectF page(250, 100, 360, 450);
    p.save();
    p.setClipRect(QRectF(0, 0, 860, 516));
    drawPage(p, page.translated(12, 12), 80, QColor(0, 0, 0, 60), Qt::NoPen, false);
    drawPage(p, page, 80, Qt::white, Qt::NoPen);
    p.setPen(Qt::NoPen);
    p.setBrush(kMid);
    p.drawRoundedRect(QRectF(295, 160, 170, 28), 14, 14);
    p.setBrush(kLight);
    const qreal lineEnds[] = {565, 540, 565, 500, 565, 520};
    for (int i = 0; i < 6; ++i)
        p.drawRoundedRect(QRectF(295, 225 + i * 46, lineEnds[i] - 295, 20), 10, 10);

    // The part of the page already read, and the scan beam.
    p.setBrush(QColor(0x5C, 0xAC, 0xEE, 45));
    p.drawRect(QRectF(page.left(), 350, page.width(), 170));
    QLinearGradient beamGlow(0, 310, 0, 390);
    beamGlow.setColorAt(0.0, QColor(0x5C, 0xAC, 0xEE, 0));
    beamGlow.setColorAt(0.5, QColor(0x5C, 0xAC, 0xEE, 150));
    beamGlow.setColorAt(1.0, QColor(0x5C, 0xAC, 0xEE, 0));
    p.setBrush(beamGlow);
    p.drawRect(QRectF(210, 310, 440, 80));
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(205, 342, 450, 16), 8, 8);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(215, 345, 430, 10), 5, 5);

    // Front panel with a display and two buttons.
    p.setBrush(kMid);
    p.drawRoundedRect(QRectF(160, 590, 540, 100), 30, 30);
    p.setBrush(kDark);
    p.drawRoundedRect(QRectF(190, 612, 250, 56), 14, 14);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(210, 628, 120, 10), 5, 5);
    p.setBrush(QColor(0x5C, 0xAC, 0xEE, 150));
    p.drawRoundedRect(QRectF(210, 646, 180, 8), 4, 4);
    p.setPen(QPen(Qt::white, 5));
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(560, 640), 26, 26);
    p.setBrush(kLight);
    p.drawEllipse(QPointF(640, 640), 26, 26);
}

QImage drawAppIcon(int size, bool roundedTile)
{
    QImage image =
        roundedTile ? transparentImage(size, size) : QImage(size, size, QImage::Format_RGB32);
    if (!roundedTile)
        image.fill(kDark);
    QPainter p(&image);
    beginPainting(p);
    p.scale(size / 860.0, size / 860.0);
    drawScannerIcon(p, roundedTile);
    return image;
}

// Save / export: a floppy disk.
QImage drawSaveIcon()
{
    QImage image = transparentImage(64, 64);
    QPainter p(&image);
    beginPainting(p);

    QPainterPath disk;
    disk.moveTo(12, 6);
    disk.lineTo(47, 6);
    disk.lineTo(58, 17);
    disk.lineTo(58, 52);
    disk.quadTo(58, 58, 52, 58);
    disk.lineTo(12, 58);
    disk.quadTo(6, 58, 6, 52);
    disk.lineTo(6, 12);
    disk.quadTo(6, 6, 12, 6);
    QLinearGradient shade(0, 6, 0, 58);
    shade.setColorAt(0.0, kMid);
    shade.setColorAt(1.0, kDark);
    p.setPen(roundPen(kDark, 2));
    p.setBrush(shade);
    p.drawPath(disk);

    // Metal shutter with its window.
    p.setPen(Qt::NoPen);
    p.setBrush(kLight);
    p.drawRoundedRect(QRectF(17, 7, 27, 17), 2, 2);
    p.setBrush(kDark);
    p.drawRoundedRect(QRectF(34, 10, 6, 11), 1.5, 1.5);

    // Label with two written lines.
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(14, 31, 36, 24), 3, 3);
    p.setPen(roundPen(kMid, 2.5));
    p.drawLine(QPointF(20, 39), QPointF(44, 39));
    p.drawLine(QPointF(20, 47), QPointF(38, 47));
    return image;
}

// Region capture: a dashed selection with a crosshair on its corner.
QImage drawScreenshotIcon()
{
    QImage image = transparentImage(64, 64);
    QPainter p(&image);
    beginPainting(p);

    QPen dashes(kDark, 3, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashes.setDashPattern({2.0, 1.5});
    p.setPen(dashes);
    p.setBrush(QColor(0xCC, 0xD5, 0xF0, 150));
    p.drawRect(QRectF(7.5, 7.5, 35, 35));

    // Handles on the three free corners.
    p.setPen(Qt::NoPen);
    p.setBrush(kDark);
    for (const QPointF &c : {QPointF(7.5, 7.5), QPointF(42.5, 7.5), QPointF(7.5, 42.5)})
        p.drawRect(QRectF(c.x() - 3.5, c.y() - 3.5, 7, 7));

    // Crosshair on the corner being dragged: a white halo first, then the strokes on it.
    const QPointF centre(44, 44);
    const qreal gap = 4, reach = 17;
    p.setBrush(Qt::NoBrush);
    for (const QPen &pen : {roundPen(Qt::white, 7), roundPen(kAccentDark, 3.5)}) {
        p.setPen(pen);
        p.drawEllipse(centre, 10, 10);
        p.drawLine(QPointF(centre.x() - reach, centre.y()), QPointF(centre.x() - gap, centre.y()));
        p.drawLine(QPointF(centre.x() + gap, centre.y()), QPointF(centre.x() + reach, centre.y()));
        p.drawLine(QPointF(centre.x(), centre.y() - reach), QPointF(centre.x(), centre.y() - gap));
        p.drawLine(QPointF(centre.x(), centre.y() + gap), QPointF(centre.x(), centre.y() + reach));
    }
    return image;
}

// Rotation: a page inside a circular arrow. The counter-clockwise arrow is the mirror image of
// the clockwise one; the page stays the right way round.
QImage drawRotateIcon(bool clockwise)
{
    QImage image = transparentImage(64, 64);
    QPainter p(&image);
    beginPainting(p);

    drawPage(p, QRectF(22, 19, 20, 26), 6, Qt::white,
             QPen(kMid, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setPen(roundPen(kLight, 2));
    p.drawLine(QPointF(26, 30), QPointF(38, 30));
    p.drawLine(QPointF(26, 35), QPointF(38, 35));
    p.drawLine(QPointF(26, 40), QPointF(34, 40));

    if (!clockwise) {
        p.translate(64, 0);
        p.scale(-1, 1);
    }
    // Arc from 10 degrees clockwise round to 85 degrees (Qt angles: counter-clockwise positive,
    // 0 at three o'clock), leaving the upper right open for the arrow head.
    const QPointF centre(32, 32);
    const qreal radius = 24;
    const qreal endAngle = 85;
    p.setPen(roundPen(kDark, 5));
    p.setBrush(Qt::NoBrush);
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(circle, 10 * 16, -(360 - endAngle + 10 - 8) * 16);

    // Arrow head at the end of the arc, pointing along the clockwise direction.
    const qreal a = qDegreesToRadians(endAngle);
    const QPointF tip(centre.x() + radius * qCos(a), centre.y() - radius * qSin(a));
    const QPointF along(qSin(a), qCos(a)); // clockwise tangent on screen
    const QPointF across(qCos(a), -qSin(a));
    QPolygonF head;
    head << tip + along * 9 << tip - along * 4 + across * 9 << tip - along * 4 - across * 9;
    p.setPen(roundPen(kDark, 2));
    p.setBrush(kDark);
    p.drawPolygon(head);
    return image;
}

// The "1" of "1:1", drawn as a shape so the icon needs no font.
void drawOne(QPainter &p, qreal x, qreal top, qreal height)
{
    QPainterPath one;
    one.moveTo(x, top);
    one.lineTo(x + 3.2, top);
    one.lineTo(x + 3.2, top + height);
    one.lineTo(x, top + height);
    one.closeSubpath();
    one.moveTo(x, top);
    one.lineTo(x + 0.6, top + 3.2);
    one.lineTo(x - 3.2, top + 4.6);
    one.lineTo(x - 3.2, top + 2.2);
    one.closeSubpath();
    p.drawPath(one.simplified());
}

// Original size: a magnifier showing "1:1".
QImage drawResizeIcon()
{
    QImage image = transparentImage(64, 64);
    QPainter p(&image);
    beginPainting(p);

    p.setPen(roundPen(kDark, 9));
    p.drawLine(QPointF(40.5, 40.5), QPointF(55, 55));
    p.setPen(roundPen(kMid, 5));
    p.drawLine(QPointF(44, 44), QPointF(54, 54));

    p.setPen(roundPen(kDark, 5));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawEllipse(QPointF(27, 27), 18, 18);

    p.setPen(Qt::NoPen);
    p.setBrush(kAccentDark);
    drawOne(p, 18.5, 20, 14);
    drawOne(p, 33.5, 20, 14);
    p.drawEllipse(QPointF(27, 23.5), 1.9, 1.9);
    p.drawEllipse(QPointF(27, 31), 1.9, 1.9);
    return image;
}

// Fit to window: a whole page inside the corners of a frame, with arrows from the page out to
// the corners.
QImage drawFitIcon()
{
    QImage image = transparentImage(64, 64);
    QPainter p(&image);
    beginPainting(p);

    // The frame's four corners.
    p.setPen(roundPen(kDark, 5));
    p.setBrush(Qt::NoBrush);
    const qreal lo = 5, hi = 59, arm = 14;
    for (const QPointF &c : {QPointF(lo, lo), QPointF(hi, lo), QPointF(lo, hi), QPointF(hi, hi)}) {
        const qreal dx = c.x() == lo ? arm : -arm, dy = c.y() == lo ? arm : -arm;
        QPolygonF corner;
        corner << QPointF(c.x() + dx, c.y()) << c << QPointF(c.x(), c.y() + dy);
        p.drawPolyline(corner);
    }

    // The page, whole, in the middle.
    drawPage(p, QRectF(22, 17, 20, 30), 6, Qt::white,
             QPen(kMid, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setPen(roundPen(kLight, 2));
    p.drawLine(QPointF(26, 29), QPointF(38, 29));
    p.drawLine(QPointF(26, 34), QPointF(38, 34));
    p.drawLine(QPointF(26, 39), QPointF(34, 39));

    // Diagonal arrows from the page's corners towards the frame's.
    for (const QPointF &dir : {QPointF(-1, -1), QPointF(1, -1), QPointF(-1, 1), QPointF(1, 1)}) {
        const QPointF from(32 + dir.x() * 13, 32 + dir.y() * 18);
        const QPointF tip = from + dir * 7;
        p.setPen(roundPen(kAccentDark, 2.5));
        p.drawLine(from, tip);
        QPolygonF head;
        head << tip + dir * 2.5 << tip - QPointF(dir.x() * 3.5, 0)
             << tip - QPointF(0, dir.y() * 3.5);
        p.setPen(roundPen(kAccentDark, 1.5));
        p.setBrush(kAccentDark);
        p.drawPolygon(head);
    }
    return image;
}

// The log window's delete action: a grey waste bin.
QImage drawRemoveIcon()
{
    QImage image = transparentImage(24, 32);
    QPainter p(&image);
    beginPainting(p);
    const QColor outline(88, 88, 88);
    const QColor fill(136, 136, 136);
    const QColor rib(196, 196, 196);

    // Handle and lid.
    p.setPen(roundPen(outline, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8.5, 2.8, 7, 4), 1.2, 1.2);
    p.setPen(roundPen(outline, 1.2));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 6.5, 19, 3.5), 1.2, 1.2);

    // Body, narrowing to the bottom.
    QPainterPath bin;
    bin.moveTo(4.2, 11.5);
    bin.lineTo(19.8, 11.5);
    bin.lineTo(18.3, 28);
    bin.quadTo(18.1, 29.5, 16.6, 29.5);
    bin.lineTo(7.4, 29.5);
    bin.quadTo(5.9, 29.5, 5.7, 28);
    bin.closeSubpath();
    p.drawPath(bin);
    p.setPen(roundPen(rib, 1.6));
    p.drawLine(QPointF(8.6, 14.5), QPointF(9.1, 26.5));
    p.drawLine(QPointF(12, 14.5), QPointF(12, 26.5));
    p.drawLine(QPointF(15.4, 14.5), QPointF(14.9, 26.5));
    return image;
}

// The combo box's drop-down button: a separator and a down arrow.
QImage drawComboArrow()
{
    QImage image = transparentImage(31, 16);
    QPainter p(&image);
    beginPainting(p);
    p.setPen(QPen(kMid, 1));
    p.drawLine(QPointF(1.5, 2), QPointF(1.5, 14));
    QPolygonF arrow;
    arrow << QPointF(10, 5.5) << QPointF(21, 5.5) << QPointF(15.5, 11);
    p.setPen(QPen(kDark, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kDark);
    p.drawPolygon(arrow);
    return image;
}

// A palette image holding exactly the colours of the picture (a few antialiasing shades; a
// picture with more than 256 colours gives a null image, which then fails to save).
QImage toPalette(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QVector<QRgb> table;
    QImage indexed(image.size(), QImage::Format_Indexed8);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        uchar *out = indexed.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            // Fully transparent pixels all share one entry.
            const QRgb colour = qAlpha(line[x]) == 0 ? qRgba(0, 0, 0, 0) : line[x];
            int index = table.indexOf(colour);
            if (index < 0) {
                if (table.size() == 256)
                    return QImage();
                table.append(colour);
                index = table.size() - 1;
            }
            out[x] = static_cast<uchar>(index);
        }
    }
    indexed.setColorTable(table);
    return indexed;
}

quint32 crc32(const QByteArray &data)
{
    static quint32 table[256];
    static bool ready = false;
    if (!ready) {
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : data)
        crc = table[(crc ^ static_cast<quint8>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    out.append(static_cast<char>(value >> 24));
    out.append(static_cast<char>(value >> 16));
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value));
}

void appendChunk(QByteArray &out, const char *type, const QByteArray &payload)
{
    appendBigEndian(out, static_cast<quint32>(payload.size()));
    const QByteArray typed = QByteArray(type, 4) + payload;
    out.append(typed);
    appendBigEndian(out, crc32(typed));
}

// Qt writes no grey-with-alpha PNG, so this one is encoded here: colour type 4, 8 bits per
// sample, one unfiltered scan line after the other.
bool saveGreyAlphaPng(const QString &path, const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QByteArray raw;
    raw.reserve(image.height() * (1 + 2 * image.width()));
    for (int y = 0; y < image.height(); ++y) {
        raw.append('\0');
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            raw.append(static_cast<char>(qGray(line[x])));
            raw.append(static_cast<char>(qAlpha(line[x])));
        }
    }
    // qCompress gives a zlib stream behind a four-byte length, which PNG does not want.
    const QByteArray zlib = qCompress(raw, 9).mid(4);

    QByteArray header;
    appendBigEndian(header, static_cast<quint32>(image.width()));
    appendBigEndian(header, static_cast<quint32>(image.height()));
    header.append(char(8)).append(char(4)).append(char(0)).append(char(0)).append(char(0));

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlib);
    appendChunk(png, "IEND", QByteArray());

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
}

bool save(const QString &dir, const char *name, const QImage &image, int quality = -1)
{
    const QString path = dir + QLatin1Char('/') + QLatin1String(name);
    if (image.save(path, nullptr, quality))
        return true;
    std::fprintf(stderr, "draw_images: cannot write %s\n", qPrintable(path));
    return false;
}

// The application icon at the sizes desktops and software centres ask for.
bool saveThemeIcons(const QString &themeDir)
{
    bool ok = true;
    for (const int size : {32, 48, 64, 128, 256, 512}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(themeDir).arg(size);
        ok = QDir().mkpath(dir) && save(dir, "veldrin-scan.png", drawAppIcon(size, true)) && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const bool icons = argc == 3 && qstrcmp(argv[1], "--icons") == 0;
    if (argc < 2 || (argc > 2 && !icons)) {
        std::fprintf(stderr,
                     "usage: draw_images OUTPUT_FOLDER | draw_images --icons THEME_FOLDER\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[icons ? 2 : 1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "draw_images: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    if (icons)
        return saveThemeIcons(dir) ? 0 : 1;

    bool ok = save(dir, "MainWin.jpg", drawAppIcon(860, false), 92);
    ok = save(dir, "MainWin64.png", drawAppIcon(64, true)) && ok;
    ok = save(dir, "SaveFile.png", drawSaveIcon()) && ok;
    ok = save(dir, "Screenshot.png", drawScreenshotIcon()) && ok;
    ok = save(dir, "rotate_cw.png", drawRotateIcon(true)) && ok;
    ok = save(dir, "rotate_ccw.png", drawRotateIcon(false)) && ok;
    ok = save(dir, "resize.png", drawResizeIcon()) && ok;
    ok = save(dir, "fit.png", drawFitIcon()) && ok;
    ok = save(dir, "combox.png", toPalette(drawComboArrow())) && ok;

    const QString removePath = dir + QStringLiteral("/remove.png");
    if (!saveGreyAlphaPng(removePath, drawRemoveIcon())) {
        std::fprintf(stderr, "draw_images: cannot write %s\n", qPrintable(removePath));
        ok = false;
    }
    return ok ? 0 : 1;
}
