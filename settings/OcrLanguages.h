#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The languages text recognition can read on this machine: the Tesseract language data
// (<code>.traineddata) in its data folder, by code ("chi_sim"), and the names the operator sees
// ("简体中文"). A choice of languages is kept as the codes joined by '+' ("chi_sim+eng"), the
// form Tesseract takes.
class OcrLanguages
{
    Q_DECLARE_TR_FUNCTIONS(OcrLanguages)

public:
    // Simplified Chinese and English, as office documents here mix them.
    static QString defaultValue() { return QStringLiteral("chi_sim+eng"); }
    // Tesseract's data folder: $TESSDATA_PREFIX when set, otherwise the system's.
    static QString dataFolder();
    // The codes of the language data in `folder`, sorted; the orientation and equation data
    // ("osd", "equ") are no languages and left out.
    static QStringList installed(const QString &folder = dataFolder());
    // The name the operator sees: Chinese for the common languages, the code itself for others.
    static QString displayName(const QString &code);
    // A stored choice checked against the installed codes: unknown and missing languages are
    // dropped (and named in `dropped`), repeats removed, the order kept. Nothing left gives the
    // default's installed languages, or the default itself when none of them is installed.
    static QString checked(const QString &stored, const QStringList &installed,
                           QStringList *dropped = nullptr);
};
