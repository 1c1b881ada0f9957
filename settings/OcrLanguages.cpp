#include "settings/OcrLanguages.h"

#include <QDir>
#include <QFileInfo>

QString OcrLanguages::dataFolder()
{
    // Tesseract reads the same variable; Debian's Tesseract 5 keeps its data here otherwise.
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    return !prefix.isEmpty() ? QDir::cleanPath(prefix)
                             : QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

QStringList OcrLanguages::installed(const QString &folder)
{
    QStringList codes;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*.traineddata")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo &file : files) {
        const QString code = file.completeBaseName();
        if (!code.isEmpty() && code != QLatin1String("osd") && code != QLatin1String("equ"))
            codes.append(code);
    }
    return codes;
}

QString OcrLanguages::displayName(const QString &code)
{
    static const struct
    {
        const char *code;
        const char *name;
    } names[] = {
        {"chi_sim", QT_TR_NOOP("Simplified Chinese")},
        {"chi_sim_vert", QT_TR_NOOP("Simplified Chinese (vertical)")},
        {"chi_tra", QT_TR_NOOP("Traditional Chinese")},
        {"chi_tra_vert", QT_TR_NOOP("Traditional Chinese (vertical)")},
        {"eng", QT_TR_NOOP("English")},
        {"jpn", QT_TR_NOOP("Japanese")},
        {"kor", QT_TR_NOOP("Korean")},
        {"fra", QT_TR_NOOP("French")},
        {"deu", QT_TR_NOOP("German")},
        {"rus", QT_TR_NOOP("Russian")},
        {"spa", QT_TR_NOOP("Spanish")},
        {"bod", QT_TR_NOOP("Tibetan")},
        {"uig", QT_TR_NOOP("Uyghur")},
        {"mon", QT_TR_NOOP("Mongolian")},
    };
    for (const auto &entry : names) {
        if (code == QLatin1String(entry.code))
            return tr(entry.name);
    }
    return code;
}

QString OcrLanguages::checked(const QString &stored, const QStringList &installed,
                              QStringList *dropped)
{
    QStringList kept;
    for (const QString &part : stored.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        const QString code = part.trimmed();
        if (installed.contains(code)) {
            if (!kept.contains(code))
                kept.append(code);
        } else if (dropped) {
            dropped->append(code);
        }
    }
    if (kept.isEmpty()) {
        for (const QString &code : defaultValue().split(QLatin1Char('+'))) {
            if (installed.contains(code))
                kept.append(code);
        }
    }
    return kept.isEmpty() ? defaultValue() : kept.join(QLatin1Char('+'));
}
