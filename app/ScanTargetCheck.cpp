#include "app/ScanTargetCheck.h"

#include "settings/ScanSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The nearest part of `path` that exists.
QString nearestExisting(const QString &path)
{
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/"))
        existing = QFileInfo(existing).absolutePath();
    return existing;
}

// A group named after the operator with nobody else in it: the operator's private group.
bool isPrivateGroup(gid_t gid)
{
    const passwd *me = ::getpwuid(::getuid());
    const group *g = ::getgrgid(gid);
    if (!me || !g || qstrcmp(g->gr_name, me->pw_name) != 0 || gid != me->pw_gid)
        return false;
    for (char **member = g->gr_mem; member && *member; ++member) {
        if (qstrcmp(*member, me->pw_name) != 0)
            return false;
    }
    return true;
}

} // namespace

QString ScanTargetCheck::fallbackFolder()
{
    return QDir::homePath() + QStringLiteral("/Scans");
}

bool ScanTargetCheck::othersMayWrite(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(nearestExisting(path)).constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || (st.st_mode & S_ISVTX))
        return false;
    return (st.st_mode & S_IWOTH) || ((st.st_mode & S_IWGRP) && !isPrivateGroup(st.st_gid));
}

bool ScanTargetCheck::approve(ScanSettings &settings, bool saveFiles)
{
    QString warning = nameWarning(checkName(settings.name));
    const FolderProblem problem = saveFiles ? checkFolder(settings.save_path) : FolderOk;
    if (warning.isEmpty() && problem != FolderOk && problem != FolderEmpty &&
        settings.save_path != fallbackFolder() && checkFolder(fallbackFolder()) == FolderOk) {
        QMessageBox::information(nullptr, tr("Information"),
                                 tr("%1. Pages are saved to %2 instead.")
                                     .arg(folderWarning(problem, settings.save_path),
                                          QDir::toNativeSeparators(fallbackFolder())),
                                 QMessageBox::Ok);
        settings.save_path = fallbackFolder();
    } else if (warning.isEmpty()) {
        warning = folderWarning(problem, settings.save_path);
    }
    if (!warning.isEmpty()) {
        QMessageBox::warning(nullptr, tr("Warning"), warning, QMessageBox::Ok);
        return false;
    }
    if (saveFiles && othersMayWrite(settings.save_path))
        return QMessageBox::warning(nullptr, tr("Warning"),
                                    tr("Other users can write to the destination folder %1: "
                                       "they can replace or remove the pages saved there. Save "
                                       "there anyway?")
                                        .arg(QDir::toNativeSeparators(settings.save_path)),
                                    QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) == QMessageBox::Yes;
    return true;
}

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
    const QFileInfo base(nearestExisting(path));
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
