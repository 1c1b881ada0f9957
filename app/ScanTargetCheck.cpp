#include "app/ScanTargetCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace {

// An existing folder takes new files when a probe file can be made in it: modes, a read-only
// file system and the places where nobody may write (/proc) all show in that one step.
bool takesFiles(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.veldrin-probe-XXXXXX"));
    return probe.open(); // removed with the object
}

bool takesFolders(const QString &folder)
{
    QTemporaryDir probe(folder + QStringLiteral("/.veldrin-probe-XXXXXX"));
    return probe.isValid(); // removed with the object
}

} // namespace

ScanTargetCheck::NameProblem ScanTargetCheck::checkName(const QString &name)
{
    if (name.isEmpty())
        return NameEmpty;
    if (name.contains(QLatin1Char('/')))
        return NameHasSlash;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return NameHasControl;
    }
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return NameIsDot;
    if (name.toUtf8().size() > MaxNameBytes)
        return NameTooLong;
    return NameOk;
}

ScanTargetCheck::FolderProblem ScanTargetCheck::checkFolder(const QString &path)
{
    if (path.isEmpty())
        return FolderEmpty;
    const QFileInfo target(path);
    if (target.exists())
        return !target.isDir()                         ? FolderNotAFolder
               : takesFiles(target.absoluteFilePath()) ? FolderOk
                                                       : FolderNotWritable;
    // The nearest part of the path that exists must be a folder that takes a new folder.
    QString existing = target.absoluteFilePath();
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/"))
        existing = QFileInfo(existing).absolutePath();
    const QFileInfo base(existing);
    return base.isDir() && takesFolders(base.absoluteFilePath()) ? FolderOk : FolderNotCreatable;
}

QString ScanTargetCheck::nameWarning(NameProblem problem)
{
    switch (problem) {
    case NameOk:
        break;
    case NameEmpty:
        return tr("The document name is empty");
    case NameHasSlash:
        return tr("The document name must not contain \"/\"");
    case NameHasControl:
        return tr("The document name must not contain control characters");
    case NameIsDot:
        return tr("The document name must not be \".\" or \"..\"");
    case NameTooLong:
        return tr("The document name is longer than %1 bytes").arg(MaxNameBytes);
    }
    return QString();
}

QString ScanTargetCheck::folderWarning(FolderProblem problem, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    switch (problem) {
    case FolderOk:
        break;
    case FolderEmpty:
        return tr("No destination folder is set");
    case FolderNotCreatable:
        return tr("The destination folder %1 cannot be created").arg(shown);
    case FolderNotAFolder:
        return tr("The destination %1 is not a folder").arg(shown);
    case FolderNotWritable:
        return tr("The destination folder %1 is not writable").arg(shown);
    }
    return QString();
}
