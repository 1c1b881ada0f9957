#pragma once

#include <QCoreApplication>
#include <QString>

// Puts a new administrator password digest into Login.ini. Where the console may write the file
// (a build tree: the file is the operator's own) it writes it itself. On an installation the
// file is root's: the small helper veldrin-scan-password beside the console writes it, started
// through pkexec under the package's polkit action, which asks for the system administrator's
// authentication. Without pkexec the operator is told the command an administrator runs.
class AdminPasswordChange
{
    Q_DECLARE_TR_FUNCTIONS(AdminPasswordChange)

public:
    enum Result
    {
        Saved,
        NeedsAdministrator, // the console cannot write the file and cannot ask for authorisation
        NotAuthorised,      // the authentication was refused or cancelled
        Failed
    };

    static Result store(const QString &digest);

    static QString helperPath();
    // The command that changes the password from a terminal, as an administrator.
    static QString helperCommand();
    // What the operator is told for a result other than Saved, in the window's language.
    static QString resultText(Result result);
};
