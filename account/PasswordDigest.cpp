#include "account/PasswordDigest.h"

#include "account/MD5.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

namespace {

const char kScheme[] = "pbkdf2-sha256";
const int kDigestBytes = 32;
// A stored count beyond this is no digest of ours (and would stall the login).
const int kMaxIterations = 10000000;

QByteArray derive(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, kDigestBytes);
}

bool isHex(const QString &text, int length)
{
    if (text.size() != length)
        return false;
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

// Compares every byte, so the time taken does not tell how much of a guess was right.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    char difference = 0;
    for (int i = 0; i < a.size(); ++i)
        difference |= char(a.at(i) ^ b.at(i));
    return difference == 0;
}

} // namespace

QString PasswordDigest::make(const QString &password)
{
    QByteArray salt(SaltBytes, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()),
                                          SaltBytes / int(sizeof(quint32)));
    return QStringLiteral("%1$%2$%3$%4")
        .arg(QLatin1String(kScheme))
        .arg(Iterations)
        .arg(QString::fromLatin1(salt.toHex()),
             QString::fromLatin1(derive(password, salt, Iterations).toHex()));
}

bool PasswordDigest::isSaltedDigest(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts.at(0) != QLatin1String(kScheme))
        return false;
    bool number = false;
    const int iterations = parts.at(1).toInt(&number);
    return number && iterations >= 1 && iterations <= kMaxIterations &&
           QString::number(iterations) == parts.at(1) && isHex(parts.at(2), 2 * SaltBytes) &&
           isHex(parts.at(3), 2 * kDigestBytes);
}

bool PasswordDigest::matches(const QString &password, const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() == 4 && parts.at(0) == QLatin1String(kScheme)) {
        if (!isSaltedDigest(stored))
            return false;
        const int iterations = parts.at(1).toInt();
        const QByteArray salt = QByteArray::fromHex(parts.at(2).toLatin1());
        return sameBytes(derive(password, salt, iterations),
                         QByteArray::fromHex(parts.at(3).toLatin1()));
    }
    // An installation's plain MD5 digest.
    return isHex(stored, 32) && sameBytes(MD5::Encry(password).toLatin1(), stored.toLatin1());
}
