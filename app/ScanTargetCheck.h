#pragma once

#include <QCoreApplication>
#include <QString>

class ScanSettings;

// What must hold before a run starts, so that no page is lost to a name or a folder no file can
// have: the document name is the stem of every page file, the destination folder takes them.
// A folder that cannot be used gives way to the operator's own ~/Scans; a folder other users
// may write to is named in a warning before anything is written there.
class ScanTargetCheck
{
    Q_DECLARE_TR_FUNCTIONS(ScanTargetCheck)

public:
    // Longest document name in UTF-8 bytes; a page file adds a number, a time and a suffix and
    // must stay within the 255 bytes a file name may have.
    static constexpr int MaxNameBytes = 200;

    enum NameProblem
    {
        NameOk,
        NameEmpty,
        NameHasSlash,
        NameHasControl, // a control character: line feeds, tabs, escape sequences
        NameIsDot,      // "." or "..": the folder itself or its parent
        NameTooLong
    };
    static NameProblem checkName(const QString &name);

    enum FolderProblem
    {
        FolderOk,
        FolderEmpty,
        FolderNotCreatable, // missing, and the nearest existing folder takes no new folder
        FolderNotAFolder,   // a file or something else of that name
        FolderNotWritable
    };
    // Looks without leaving anything behind: a missing folder is not made (the collector makes
    // it with the first page), and the probes that show an existing folder writable, or its
    // missing part creatable, are removed again.
    static FolderProblem checkFolder(const QString &path);

    // The operator's own folder for pages: "Scans" in the home folder.
    static QString fallbackFolder();
    // True when users other than the operator may create, rename or delete files in `path`
    // (or, for a missing folder, in the nearest folder above it that exists): write permission
    // for its group or others, without the sticky bit that keeps each user's files their own. A
    // group that is only the operator's own (a user private group) does not count.
    static bool othersMayWrite(const QString &path);

    // The whole check before a run, with its message boxes: the name; for a scan the folder,
    // which is replaced by fallbackFolder() (the operator is told) when it cannot be used and
    // that one can; a folder others may write to is named in a warning the operator may go on
    // from. `settings.save_path` may change. Returns whether the run may start.
    static bool approve(ScanSettings &settings, bool saveFiles);

    // The warning for a problem, in the window's language; empty for NameOk and FolderOk.
    static QString nameWarning(NameProblem problem);
    static QString folderWarning(FolderProblem problem, const QString &path);
};
