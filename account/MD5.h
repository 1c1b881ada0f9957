#pragma once

#include <QString>

// Digest used for the administrator's user name and password in Login.ini.
class MD5
{
public:
    // Lowercase hexadecimal MD5 of the Latin-1 bytes of `text` (characters outside Latin-1
    // count as '?').
    static QString Encry(QString text);
};
