#include "ServiceDatabase.h"

#include "DemoData.h"
#include "PasswordHasher.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {
QAtomicInteger<quint64> connectionCounter;

QString kindName(ServiceDatabase::TokenKind kind)
{
    return kind == ServiceDatabase::TokenKind::Access ? u"access"_s : u"refresh"_s;
}

QVariant optionalValue(const std::optional<qint64> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<qint64>());
}
} // namespace

ServiceDatabase::ServiceDatabase(const QString &path)
    : m_connectionName(u"zorvel-service-%1"_s.arg(connectionCounter.fetchAndAddRelaxed(1)))
    , m_path(path)
{ }

ServiceDatabase::~ServiceDatabase()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool ServiceDatabase::open(const QString &demoEmail, const QString &demoPassword, int iterations, QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connectionName);
    db.setDatabaseName(m_path);
    if (!db.open()) {
        if (error)
            *error = u"cannot open database %1: %2"_s.arg(m_path, db.lastError().text());
        return false;
    }
    const QStringList schema = {
        u"PRAGMA foreign_keys = ON"_s,
        u"CREATE TABLE IF NOT EXISTS accounts (id INTEGER PRIMARY KEY, email TEXT NOT NULL UNIQUE COLLATE NOCASE,"
        " salt BLOB NOT NULL, key BLOB NOT NULL, iterations INTEGER NOT NULL)"_s,
        u"CREATE TABLE IF NOT EXISTS tokens (digest TEXT NOT NULL, kind TEXT NOT NULL,"
        " account_id INTEGER NOT NULL REFERENCES accounts(id), expires_at INTEGER, PRIMARY KEY (digest, kind))"_s,
        u"CREATE TABLE IF NOT EXISTS types (account_id INTEGER NOT NULL REFERENCES accounts(id), id TEXT NOT NULL,"
        " name TEXT NOT NULL, is_group INTEGER NOT NULL, color INTEGER NOT NULL, sort_order INTEGER NOT NULL,"
        " parent_id TEXT, image_id TEXT NOT NULL, PRIMARY KEY (account_id, id))"_s,
        u"CREATE TABLE IF NOT EXISTS activities (account_id INTEGER NOT NULL REFERENCES accounts(id),"
        " id TEXT NOT NULL, type_id TEXT NOT NULL, comment TEXT NOT NULL, status TEXT NOT NULL, start INTEGER,"
        " last_active INTEGER NOT NULL, PRIMARY KEY (account_id, id))"_s,
        u"CREATE TABLE IF NOT EXISTS intervals (account_id INTEGER NOT NULL, activity_id TEXT NOT NULL,"
        " position INTEGER NOT NULL, id TEXT NOT NULL, from_s INTEGER NOT NULL, to_s INTEGER NOT NULL,"
        " PRIMARY KEY (account_id, activity_id, position),"
        " FOREIGN KEY (account_id, activity_id) REFERENCES activities(account_id, id) ON DELETE CASCADE)"_s,
    };
    for (const QString &statement : schema) {
        if (!exec(statement)) {
            if (error)
                *error = u"cannot prepare database %1: %2"_s.arg(m_path, m_lastError);
            return false;
        }
    }

    QSqlQuery count(db);
    if (!count.exec(u"SELECT COUNT(*) FROM accounts"_s) || !count.next()) {
        if (error)
            *error = count.lastError().text();
        return false;
    }
    if (count.value(0).toLongLong() > 0)
        return true;

    // A fresh database: the demo account with its types and two activities.
    const bool seeded = inTransaction([&] {
        if (!addAccount(demoEmail, demoPassword, iterations, &m_lastError))
            return false;
        const std::optional<qint64> demo = accountId(demoEmail);
        if (!demo)
            return false;
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (const ActivityRecord &activity : DemoData::activities(now)) {
            if (!saveActivity(*demo, activity))
                return false;
        }
        return true;
    });
    if (!seeded && error)
        *error = u"cannot seed the demo data into %1: %2"_s.arg(m_path, m_lastError);
    return seeded;
}

bool ServiceDatabase::addAccount(const QString &email, const QString &password, int iterations, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString trimmed = email.trimmed();
    if (trimmed.isEmpty() || !trimmed.contains(u'@'))
        return fail(u"not an e-mail address: \"%1\""_s.arg(email));
    if (password.isEmpty())
        return fail(u"the password must not be empty"_s);
    if (accountId(trimmed))
        return fail(u"an account for %1 exists already"_s.arg(trimmed));

    const PasswordHasher::Hash hash = PasswordHasher::hash(password, iterations);
    const bool done = inTransaction([&] {
        QSqlQuery insert(QSqlDatabase::database(m_connectionName));
        insert.prepare(u"INSERT INTO accounts (email, salt, key, iterations) VALUES (?, ?, ?, ?)"_s);
        insert.addBindValue(trimmed);
        insert.addBindValue(hash.salt);
        insert.addBindValue(hash.key);
        insert.addBindValue(hash.iterations);
        if (!insert.exec()) {
            m_lastError = insert.lastError().text();
            return false;
        }
        return seedTypes(insert.lastInsertId().toLongLong());
    });
    return done ? true : fail(m_lastError);
}

std::optional<qint64> ServiceDatabase::authenticate(const QString &email, const QString &password)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(u"SELECT id, salt, key, iterations FROM accounts WHERE email = ?"_s);
    query.addBindValue(email.trimmed());
    if (!query.exec() || !query.next())
        return std::nullopt;
    const PasswordHasher::Hash stored {query.value(1).toByteArray(), query.value(2).toByteArray(),
                                       query.value(3).toInt()};
    if (!PasswordHasher::verify(password, stored))
        return std::nullopt;
    return query.value(0).toLongLong();
}

std::optional<qint64> ServiceDatabase::accountId(const QString &email)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(u"SELECT id FROM accounts WHERE email = ?"_s);
    query.addBindValue(email.trimmed());
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

bool ServiceDatabase::storeToken(const QString &digest, TokenKind kind, qint64 accountId,
                                 std::optional<qint64> expiresAtMs)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(u"INSERT OR REPLACE INTO tokens (digest, kind, account_id, expires_at) VALUES (?, ?, ?, ?)"_s);
    query.addBindValue(digest);
    query.addBindValue(kindName(kind));
    query.addBindValue(accountId);
    query.addBindValue(optionalValue(expiresAtMs));
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

std::optional<ServiceDatabase::TokenRecord> ServiceDatabase::token(const QString &digest, TokenKind kind)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(u"SELECT account_id, expires_at FROM tokens WHERE digest = ? AND kind = ?"_s);
    query.addBindValue(digest);
    query.addBindValue(kindName(kind));
    if (!query.exec() || !query.next())
        return std::nullopt;
    TokenRecord record;
    record.accountId = query.value(0).toLongLong();
    if (!query.value(1).isNull())
        record.expiresAtMs = query.value(1).toLongLong();
    return record;
}

bool ServiceDatabase::expireAccessTokens(qint64 nowMs)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(
        u"UPDATE tokens SET expires_at = ? WHERE kind = 'access' AND (expires_at IS NULL OR expires_at > ?)"_s);
    query.addBindValue(nowMs);
    query.addBindValue(nowMs);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

QList<TypeRecord> ServiceDatabase::types(qint64 accountId, bool *ok)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(u"SELECT id, name, is_group, color, sort_order, parent_id, image_id FROM types"
                  " WHERE account_id = ? ORDER BY rowid"_s);
    query.addBindValue(accountId);
    QList<TypeRecord> result;
    *ok = query.exec();
    if (!*ok) {
        m_lastError = query.lastError().text();
        return result;
    }
    while (query.next()) {
        TypeRecord type;
        type.id = query.value(0).toString();
        type.name = query.value(1).toString();
        type.group = query.value(2).toBool();
        type.color = query.value(3).toInt();
        type.order = query.value(4).toInt();
        if (!query.value(5).isNull())
            type.parentId = query.value(5).toString();
        type.imageId = query.value(6).toString();
        result.append(type);
    }
    return result;
}

bool ServiceDatabase::hasType(qint64 accountId, const QString &typeId, bool *ok)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(u"SELECT 1 FROM types WHERE account_id = ? AND id = ?"_s);
    query.addBindValue(accountId);
    query.addBindValue(typeId);
    *ok = query.exec();
    if (!*ok)
        m_lastError = query.lastError().text();
    return *ok && query.next();
}

QList<ActivityRecord> ServiceDatabase::currentActivities(qint64 accountId, qint64 cutoffSeconds, bool *ok)
{
    const QSqlDatabase db = QSqlDatabase::database(m_connectionName);
    QSqlQuery query(db);
    query.prepare(u"SELECT id, type_id, comment, status, start FROM activities"
                  " WHERE account_id = ? AND (status <> 'stopped' OR last_active >= ?)"
                  " ORDER BY start IS NOT NULL, start, rowid"_s);
    query.addBindValue(accountId);
    query.addBindValue(cutoffSeconds);
    QList<ActivityRecord> result;
    *ok = query.exec();
    if (!*ok) {
        m_lastError = query.lastError().text();
        return result;
    }
    while (query.next()) {
        ActivityRecord activity;
        activity.id = query.value(0).toString();
        activity.typeId = query.value(1).toString();
        activity.comment = query.value(2).toString();
        activity.status = query.value(3).toString();
        if (!query.value(4).isNull())
            activity.start = query.value(4).toLongLong();
        result.append(activity);
    }

    QSqlQuery spans(db);
    spans.prepare(u"SELECT id, from_s, to_s FROM intervals WHERE account_id = ? AND activity_id = ?"
                  " ORDER BY position"_s);
    for (ActivityRecord &activity : result) {
        spans.addBindValue(accountId);
        spans.addBindValue(activity.id);
        if (!spans.exec()) {
            *ok = false;
            m_lastError = spans.lastError().text();
            return {};
        }
        while (spans.next())
            activity.intervals.append(
                {spans.value(0).toString(), spans.value(1).toLongLong(), spans.value(2).toLongLong()});
    }
    return result;
}

bool ServiceDatabase::hasActivity(qint64 accountId, const QString &id, bool *ok)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    query.prepare(u"SELECT 1 FROM activities WHERE account_id = ? AND id = ?"_s);
    query.addBindValue(accountId);
    query.addBindValue(id);
    *ok = query.exec();
    if (!*ok)
        m_lastError = query.lastError().text();
    return *ok && query.next();
}

bool ServiceDatabase::saveActivity(qint64 accountId, const ActivityRecord &activity)
{
    return inTransaction([&] {
        const QSqlDatabase db = QSqlDatabase::database(m_connectionName);
        QSqlQuery clear(db);
        clear.prepare(u"DELETE FROM intervals WHERE account_id = ? AND activity_id = ?"_s);
        clear.addBindValue(accountId);
        clear.addBindValue(activity.id);
        QSqlQuery upsert(db);
        upsert.prepare(u"INSERT INTO activities (account_id, id, type_id, comment, status, start, last_active)"
                       " VALUES (?, ?, ?, COALESCE(?, ''), ?, ?, ?) ON CONFLICT (account_id, id) DO UPDATE SET"
                       " type_id = excluded.type_id, comment = excluded.comment, status = excluded.status,"
                       " start = excluded.start, last_active = excluded.last_active"_s);
        upsert.addBindValue(accountId);
        upsert.addBindValue(activity.id);
        upsert.addBindValue(activity.typeId);
        upsert.addBindValue(activity.comment);
        upsert.addBindValue(activity.status);
        upsert.addBindValue(optionalValue(activity.start));
        upsert.addBindValue(activity.lastActive());
        if (!clear.exec() || !upsert.exec()) {
            m_lastError = clear.lastError().isValid() ? clear.lastError().text() : upsert.lastError().text();
            return false;
        }
        QSqlQuery insert(db);
        insert.prepare(u"INSERT INTO intervals (account_id, activity_id, position, id, from_s, to_s)"
                       " VALUES (?, ?, ?, ?, ?, ?)"_s);
        for (qsizetype i = 0; i < activity.intervals.size(); ++i) {
            const ActivityRecord::Interval &interval = activity.intervals[i];
            insert.addBindValue(accountId);
            insert.addBindValue(activity.id);
            insert.addBindValue(static_cast<qint64>(i));
            insert.addBindValue(interval.id);
            insert.addBindValue(interval.from);
            insert.addBindValue(interval.to);
            if (!insert.exec()) {
                m_lastError = insert.lastError().text();
                return false;
            }
        }
        return true;
    });
}

bool ServiceDatabase::exec(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName));
    if (!query.exec(statement)) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

bool ServiceDatabase::seedTypes(qint64 accountId)
{
    QSqlQuery insert(QSqlDatabase::database(m_connectionName));
    insert.prepare(u"INSERT INTO types (account_id, id, name, is_group, color, sort_order, parent_id, image_id)"
                   " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s);
    for (const TypeRecord &type : DemoData::types()) {
        insert.addBindValue(accountId);
        insert.addBindValue(type.id);
        insert.addBindValue(type.name);
        insert.addBindValue(type.group);
        insert.addBindValue(type.color);
        insert.addBindValue(type.order);
        insert.addBindValue(type.parentId ? QVariant(*type.parentId) : QVariant(QMetaType::fromType<QString>()));
        insert.addBindValue(type.imageId);
        if (!insert.exec()) {
            m_lastError = insert.lastError().text();
            return false;
        }
    }
    return true;
}

// Nested calls join the outer transaction, so that seeding the demo account is
// one unit even though adding an account is one by itself.
bool ServiceDatabase::inTransaction(const std::function<bool()> &work)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName);
    if (m_transactionDepth > 0) {
        ++m_transactionDepth;
        const bool done = work();
        --m_transactionDepth;
        return done;
    }
    if (!db.transaction()) {
        m_lastError = db.lastError().text();
        return false;
    }
    ++m_transactionDepth;
    const bool done = work();
    --m_transactionDepth;
    if (done && db.commit())
        return true;
    if (done)
        m_lastError = db.lastError().text();
    db.rollback();
    return false;
}
