#pragma once

#include <QString>

// The administrator account file config/Login.ini of the application directory: user name and
// password as MD5 digests. Shared by the login and the change-password dialogs.
namespace LoginStore {

QString filePath();
// Stored digests; empty when the file or the key is missing.
QString storedUser();
QString storedPassword();
// Writes the password digest, keeping every other key. Returns true only when the file really
// holds it afterwards; on failure the file and what this process reads from it stay as before.
bool writePassword(const QString &digest);

} // namespace LoginStore
