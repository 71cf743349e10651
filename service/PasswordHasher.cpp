#include "PasswordHasher.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>

namespace {
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

// Equal-time comparison, so that the time of a refusal says nothing about the key.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}
} // namespace

PasswordHasher::Hash PasswordHasher::hash(const QString &password, int iterations)
{
    Hash result;
    result.salt = randomBytes(kSaltBytes);
    result.iterations = qMax(1, iterations);
    result.key = derive(password, result.salt, result.iterations);
    return result;
}

bool PasswordHasher::verify(const QString &password, const Hash &stored)
{
    if (stored.iterations < 1 || stored.salt.isEmpty())
        return false;
    return sameBytes(derive(password, stored.salt, stored.iterations), stored.key);
}

QString PasswordHasher::randomToken()
{
    return QString::fromLatin1(randomBytes(16).toHex());
}

QString PasswordHasher::tokenDigest(const QString &token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QByteArray PasswordHasher::derive(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              kKeyBytes);
}
