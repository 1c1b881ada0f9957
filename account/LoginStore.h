#pragma once

#include <QString>

// The administrator account file config/Login.ini of the application directory: the user name
// as an MD5 digest, the password as a PasswordDigest. Only its owner may read it (mode 0600).
// Shared by the login and the change-password dialogs.
namespace LoginStore {

QString filePath();
// Stored digests; empty when the file or the key is missing.
QString storedUser();
QString storedPassword();
// Writes the password digest, keeping every other key, and leaves the file readable by its owner
// only. Returns true only when the file really holds it afterwards; on failure the file and what
// this process reads from it stay as before.
bool writePassword(const QString &digest);

} // namespace LoginStore
