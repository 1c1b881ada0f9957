#include "device/common/ScanCommandLine.h"

#include "device/common/ResultCode.h"

#include <QFileInfo>

namespace {

bool plainNumber(const QString &text, int min, int max, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || QString::number(v) != text || v < min || v > max)
        return false;
    *value = v;
    return true;
}

} // namespace

QStringList ScanCommandLine::arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

int ScanCommandLine::parse(const QStringList &arguments, ScanRequest *request, QString *error)
{
    bool haveOutput = false;
    QString source, colour, dpi;
    for (int i = 1; i < arguments.size(); i += 2) {
        const QString &option = arguments.at(i);
        if (i + 1 >= arguments.size()) {
            *error = QStringLiteral("%1 needs a value").arg(option);
            return ResultParameterError;
        }
        const QString &value = arguments.at(i + 1);
        if (option == QLatin1String("-p")) {
            request->address = value;
        } else if (option == QLatin1String("-t")) {
            if (value != QLatin1String("4")) {
                *error = QStringLiteral("unknown scan type %1").arg(value);
                return ResultParameterError;
            }
        } else if (option == QLatin1String("-s")) {
            source = value;
        } else if (option == QLatin1String("-c")) {
            colour = value;
        } else if (option == QLatin1String("-r")) {
            dpi = value;
        } else if (option == QLatin1String("-a")) {
            const QStringList sides = value.split(QLatin1Char('x'));
            int width = 0, height = 0;
            if (sides.size() != 2 || !plainNumber(sides[0], kMinSideMm, kMaxSideMm, &width) ||
                !plainNumber(sides[1], kMinSideMm, kMaxSideMm, &height)) {
                *error = QStringLiteral("bad paper size (-a) '%1'").arg(value);
                return ResultParameterError;
            }
            request->areaMm = QSizeF(width, height);
        } else if (option == QLatin1String("-f")) {
            request->outputPath = value;
            haveOutput = true;
        } else {
            *error = QStringLiteral("unknown option %1").arg(option);
            return ResultParameterError;
        }
    }
    int number = 0;
    if (!plainNumber(source, 1, 3, &number)) {
        *error = QStringLiteral("bad or missing source (-s) '%1'").arg(source);
        return ResultParameterError;
    }
    request->source = ScanRequest::Source(number);
    if (!plainNumber(colour, 1, 3, &number)) {
        *error = QStringLiteral("bad or missing colour mode (-c) '%1'").arg(colour);
        return ResultParameterError;
    }
    request->colour = ScanRequest::Colour(number);
    if (!plainNumber(dpi, kMinDpi, kMaxDpi, &request->dpi)) {
        *error = QStringLiteral("bad or missing resolution (-r) '%1'").arg(dpi);
        return ResultParameterError;
    }
    if (!haveOutput || QFileInfo(request->outputPath).fileName().isEmpty()) {
        *error = QStringLiteral("bad or missing output path (-f) '%1'").arg(request->outputPath);
        return ResultParameterError;
    }
    return ResultSuccess;
}
