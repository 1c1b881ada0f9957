#pragma once

#include <QCoreApplication>
#include <QString>

// What must hold before a run starts, so that no page is lost to a name or a folder no file can
// have: the document name is the stem of every page file, the destination folder takes them.
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

    // The warning for a problem, in the window's language; empty for NameOk and FolderOk.
    static QString nameWarning(NameProblem problem);
    static QString folderWarning(FolderProblem problem, const QString &path);
};
