#include "account/MD5.h"

#include <QCryptographicHash>

QString MD5::Encry(QString text)
{
    const QByteArray digest = QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Md5);
    return QString::fromLatin1(digest.toHex());
}
