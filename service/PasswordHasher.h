// Salted PBKDF2-HMAC-SHA256 password hashes and random hex tokens for the
// reference service; nothing secret is ever stored or compared in the clear.
#pragma once

#include <QByteArray>
#include <QString>

class PasswordHasher final
{
public:
    struct Hash
    {
        QByteArray salt;
        QByteArray key;
        int iterations = 0;
    };

    static Hash hash(const QString &password, int iterations);
    static bool verify(const QString &password, const Hash &stored);

    // 128 random bits from the system's generator, as 32 lower-case hex digits.
    static QString randomToken();
    // Tokens are kept as their SHA-256, so that a copy of the database grants nothing.
    static QString tokenDigest(const QString &token);

private:
    static QByteArray derive(const QString &password, const QByteArray &salt, int iterations);
};
