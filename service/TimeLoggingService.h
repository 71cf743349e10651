// The reference time-logging service: OAuth token endpoint, types and
// activities below oauth/api/, SQLite storage, optional failure hooks for tests.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLoggingCategory>
#include <QMap>
#include <QObject>
#include <QString>
#include <memory>

// One line per request: method, path and status ("zorvel.service", info level).
Q_DECLARE_LOGGING_CATEGORY(lcService)

struct ServiceOptions
{
    quint16 port = 8765; // 0 picks a free port
    QString databasePath = QStringLiteral(":memory:"); // SQLite file, or ":memory:"
    int tokenLifetimeSeconds = 3600; // lifetime of access tokens
    QString tlsCertificateFile; // both set: serve HTTPS
    QString tlsKeyFile;
    bool testHooks = false; // enables the __test/ routes
    int passwordIterations = 100000; // PBKDF2 rounds for new password hashes
    bool logRequests = true; // one line per request to lcService
};

// One request as the service received it, for tests that check the wire.
struct RecordedRequest
{
    QString method; // "GET", "POST", ...
    QString path; // as received, e.g. "//oauth/token"
    QString query; // as received, without "?"; percent-escapes kept
    QMap<QString, QString> headers; // names in lower case
    QByteArray body;
    int status = 0; // status of the answer (0 when none was sent)
};

// How the next answers of a path fail (test hooks).
struct FailureRule
{
    enum class Kind {
        Answer, // answer with status, content type and body
        Close, // close the connection without answering
        CloseMidBody, // send the headers and part of the body, then close
        Hang, // never answer (the connection stays open)
        Delay, // answer normally, but only after delayMs
    };
    Kind kind = Kind::Answer;
    QString path; // path below oauth/api/ ("types", "activities", "activities/<id>")
                  // or "oauth/token"; compared after leading slashes are removed;
                  // a trailing "*" matches any rest ("activities/*")
    QString method; // empty: any method
    int count = 1; // how many answers fail; 0 or less: every answer until cleared
    int status = 500;
    QByteArray contentType = "application/json";
    QByteArray body;
    int delayMs = 0;
};

class TimeLoggingServicePrivate;

class TimeLoggingService : public QObject
{
    Q_OBJECT
public:
    explicit TimeLoggingService(ServiceOptions options, QObject *parent = nullptr);
    ~TimeLoggingService() override;

    // Opens the database (seeding the demo data when it is empty) and starts
    // listening on 127.0.0.1. Returns false with a reason in *error on failure.
    bool start(QString *error = nullptr);
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:PORT/" (https with TLS)

    bool addUser(const QString &email, const QString &password, QString *error = nullptr);

    // Test hooks, reachable in-process here and over HTTP under __test/ when
    // started with testHooks.
    void addFailure(const FailureRule &rule);
    void clearFailures();
    void expireAllAccessTokens();
    QList<RecordedRequest> requests() const;
    void clearRequests();

    // Issues a token pair for a user directly, as a successful password grant would.
    struct TokenPair
    {
        QString accessToken;
        QString refreshToken;
    };
    TokenPair issueTokens(const QString &email);

    static inline const QString demoEmail = QStringLiteral("demo@zorvel.test");
    static inline const QString demoPassword = QStringLiteral("demo");
    static inline const QString clientId = QStringLiteral("androidClient");
    static inline const QString clientSecret = QStringLiteral("wombat");

private:
    std::unique_ptr<TimeLoggingServicePrivate> d;
};
