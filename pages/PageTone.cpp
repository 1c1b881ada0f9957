#include "pages/PageTone.h"

#include <algorithm>

QImage PageTone::grey(const QImage &image)
{
    if (image.hasAlphaChannel())
        return QImage();
    const QVector<QRgb> palette = image.colorTable();
    const bool grey = palette.isEmpty() ? image.isGrayscale()
                                        : std::all_of(palette.begin(), palette.end(), [](QRgb c) {
                                              return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
                                          });
    return grey ? image.convertToFormat(QImage::Format_Grayscale8) : QImage();
}

bool PageTone::greyIsTwoLevel(const QImage &grey)
{
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            if (line[x] != 0 && line[x] != 255)
                return false;
        }
    }
    return true;
}

bool PageTone::isTwoLevel(const QImage &image)
{
    const QImage grey = PageTone::grey(image);
    return !grey.isNull() && greyIsTwoLevel(grey);
}
