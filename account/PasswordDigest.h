#pragma once

#include <QString>

// The administrator password as config/Login.ini keeps it: a salted PBKDF2-SHA256 digest in a
// form that names itself, "pbkdf2-sha256$<iterations>$<salt>$<digest>" (salt and digest in
// lowercase hexadecimal). A plain MD5 digest from an older installation (32 hexadecimal
// characters) is still accepted; the next password change replaces it.
class PasswordDigest
{
public:
    static constexpr int Iterations = 100000;
    static constexpr int SaltBytes = 16;

    // A new digest of `password` with a fresh random salt.
    static QString make(const QString &password);
    // True when `stored` is a digest of `password` in either form.
    static bool matches(const QString &password, const QString &stored);
    // True when `text` has the form make() gives (what the password helper takes on its input).
    static bool isSaltedDigest(const QString &text);
};
