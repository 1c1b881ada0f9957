#pragma once

#include <QString>

// The administrator account file config/Login.ini of the application directory: the user name
// as an MD5 digest, the password as a PasswordDigest. Shared by the login and the
// change-password dialogs, and by the password helper.
//
// The file counts only when nobody but root or the operator can change it: a regular file (never
// read through a link) owned by root or by the user the console runs as, without write
// permission for its group or others. An installation keeps it as root:scanner, mode 0640:
// operators can check a login, only root can change it. A build tree keeps it as the builder's
// own, mode 0600.
namespace LoginStore {

QString filePath();
// Stored digests; empty when the file or the key is missing, or the file does not count.
QString storedUser();
QString storedPassword();
// False for a file that exists but does not count (see above).
bool isTrusted();
// True when this process may put a new password into the file itself: the file is its own
// (or missing) and the folder takes a new file.
bool canWrite();
// Writes the password digest, keeping every other key; a new file is the operator's only
// (mode 0600), a replaced one keeps its mode and group. Returns true only when the file
// really holds it afterwards.
bool writePassword(const QString &digest);

} // namespace LoginStore
