// The reference service's storage: accounts with password hashes, token digests,
// each account's types and activities, in one SQLite database per service.
#pragma once

#include "ActivityRecord.h"
#include "TypeRecord.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class ServiceDatabase final
{
public:
    explicit ServiceDatabase(const QString &path);
    ~ServiceDatabase();
    ServiceDatabase(const ServiceDatabase &) = delete;
    ServiceDatabase &operator=(const ServiceDatabase &) = delete;

    // Opens (creating the schema) and seeds the demo account when there is no account yet.
    bool open(const QString &demoEmail, const QString &demoPassword, int iterations, QString *error);

    // A new account receives the standard type catalogue.
    bool addAccount(const QString &email, const QString &password, int iterations, QString *error);
    std::optional<qint64> authenticate(const QString &email, const QString &password);
    std::optional<qint64> accountId(const QString &email);

    enum class TokenKind { Access, Refresh };
    struct TokenRecord
    {
        qint64 accountId = 0;
        std::optional<qint64> expiresAtMs; // refresh tokens never expire
    };
    bool storeToken(const QString &digest, TokenKind kind, qint64 accountId, std::optional<qint64> expiresAtMs);
    std::optional<TokenRecord> token(const QString &digest, TokenKind kind);
    bool expireAccessTokens(qint64 nowMs);

    QList<TypeRecord> types(qint64 accountId, bool *ok);
    bool hasType(qint64 accountId, const QString &typeId, bool *ok);

    // Running and paused activities, and those active at or after cutoffSeconds, by start.
    QList<ActivityRecord> currentActivities(qint64 accountId, qint64 cutoffSeconds, bool *ok);
    bool hasActivity(qint64 accountId, const QString &id, bool *ok);
    // Inserts or replaces the activity with its intervals, all or nothing.
    bool saveActivity(qint64 accountId, const ActivityRecord &activity);

    QString lastError() const { return m_lastError; }

private:
    bool exec(const QString &statement);
    bool seedTypes(qint64 accountId);
    bool inTransaction(const std::function<bool()> &work);

    QString m_connectionName;
    QString m_path;
    QString m_lastError;
    int m_transactionDepth = 0;
};
