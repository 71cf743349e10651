// Tests of starting the reference service: what survives a restart, how accounts
// and tokens are stored, HTTPS, and the reasons given when it cannot start.
#include "TestSupport.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QString passwordPath(const QString &user, const QString &password)
{
    return u"oauth/token?grant_type=password&username=%1&password=%2"_s.arg(user, password);
}

QPair<QByteArray, QByteArray> clientAuth()
{
    return TestHttp::basic(TimeLoggingService::clientId, TimeLoggingService::clientSecret);
}

ServiceOptions fileOptions(const QString &path)
{
    ServiceOptions options = TestService::defaultOptions();
    options.databasePath = path;
    return options;
}
} // namespace

class tst_ServiceStartup : public QObject
{
    Q_OBJECT
private slots:
    void restartKeepsData();
    void secretsAreNotStoredInTheClear();
    void addUserRefuses_data();
    void addUserRefuses();
    void startRefuses_data();
    void startRefuses();
    void portInUse();
    void servesHttps();
};

void tst_ServiceStartup::restartKeepsData()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"service.sqlite"_s);
    const QByteArray posted
        = R"({"id":"KEEP-1","typeId":"5E6A1C00-0000-4000-8000-000000000003","comment":"kept","status":"paused","start":1000,"intervals":[{"id":"S","from":1000,"to":2000}]})";

    QString access, refresh;
    QJsonArray before;
    {
        TestService first(fileOptions(path));
        TestHttp http(first.baseUrl());
        const QJsonObject grant
            = http.send("GET", passwordPath(u"demo@zorvel.test"_s, u"demo"_s), {}, {clientAuth()}).object();
        access = grant.value("access_token"_L1).toString();
        refresh = grant.value("refresh_token"_L1).toString();
        QCOMPARE(http.send("PUT", u"oauth/api/activities/KEEP-1"_s, posted, {TestHttp::bearer(access)}).status, 404);
        QCOMPARE(http.send("POST", u"oauth/api/activities"_s, posted, {TestHttp::bearer(access)}).status, 201);
        QVERIFY(first->addUser(u"cy@zorvel.test"_s, u"cy-pw"_s));
        before = http.send("GET", u"oauth/api/activities"_s, {}, {TestHttp::bearer(access)}).array();
        QCOMPARE(before.size(), 3); // the demo's two and the paused one
    }

    TestService second(fileOptions(path));
    TestHttp http(second.baseUrl());
    // Activities, tokens and accounts are all still there, and the demo data is not seeded twice.
    const TestHttpReply after = http.send("GET", u"oauth/api/activities"_s, {}, {TestHttp::bearer(access)});
    QCOMPARE(after.status, 200);
    QCOMPARE(after.array(), before);
    QCOMPARE(http.send("POST", u"oauth/api/activities"_s, posted, {TestHttp::bearer(access)}).status, 409);
    QCOMPARE(http.send("POST", u"oauth/token?grant_type=refresh_token&refresh_token="_s + refresh, {}, {clientAuth()})
                 .status,
             200);
    QCOMPARE(http.send("GET", passwordPath(u"cy@zorvel.test"_s, u"cy-pw"_s), {}, {clientAuth()}).status, 200);
}

void tst_ServiceStartup::secretsAreNotStoredInTheClear()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"service.sqlite"_s);
    TimeLoggingService::TokenPair tokens;
    {
        TestService server(fileOptions(path));
        QVERIFY(server->addUser(u"twin1@zorvel.test"_s, u"same-password"_s));
        QVERIFY(server->addUser(u"twin2@zorvel.test"_s, u"same-password"_s));
        tokens = server.demoTokens();
    }

    QByteArray file;
    {
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        file = raw.readAll();
    }
    for (const QString &secret : {u"same-password"_s, tokens.accessToken, tokens.refreshToken})
        QVERIFY2(!file.contains(secret.toLatin1()), qPrintable(secret));

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"inspect"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(u"SELECT salt, key, iterations FROM accounts WHERE email LIKE 'twin%'"_s, db);
        QList<QByteArray> salts, keys;
        while (query.next()) {
            salts.append(query.value(0).toByteArray());
            keys.append(query.value(1).toByteArray());
            QCOMPARE(query.value(2).toInt(), TestService::defaultOptions().passwordIterations);
        }
        QCOMPARE(salts.size(), 2);
        QCOMPARE(salts[0].size(), 16);
        QCOMPARE(keys[0].size(), 32);
        // The same password under two salts gives two different hashes.
        QVERIFY(salts[0] != salts[1]);
        QVERIFY(keys[0] != keys[1]);
    }
    QSqlDatabase::removeDatabase(u"inspect"_s);
}

void tst_ServiceStartup::addUserRefuses_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("reason");

    QTest::newRow("existing account") << u"demo@zorvel.test"_s << u"x"_s << u"exists already"_s;
    QTest::newRow("existing account, other case") << u"Demo@Zorvel.Test"_s << u"x"_s << u"exists already"_s;
    QTest::newRow("not an e-mail address") << u"demo"_s << u"x"_s << u"not an e-mail address"_s;
    QTest::newRow("empty password") << u"new@zorvel.test"_s << QString() << u"password"_s;
}

void tst_ServiceStartup::addUserRefuses()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, reason);

    TestService server;
    QString error;
    QVERIFY(!server->addUser(email, password, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void tst_ServiceStartup::startRefuses_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("reason");

    QTest::newRow("database in a missing folder")
        << u"/nonexistent/folder/service.sqlite"_s << QString() << QString() << u"cannot open database"_s;
    QTest::newRow("certificate without key")
        << u":memory:"_s << QFINDTESTDATA("tst_ServiceStartup.cpp") << QString() << u"both a certificate and a key"_s;
    QTest::newRow("certificate that is no PEM") << u":memory:"_s << QFINDTESTDATA("tst_ServiceStartup.cpp")
                                                << QFINDTESTDATA("tst_ServiceStartup.cpp") << u"PEM certificate"_s;
}

void tst_ServiceStartup::startRefuses()
{
    QFETCH(QString, database);
    QFETCH(QString, certificate);
    QFETCH(QString, key);
    QFETCH(QString, reason);

    ServiceOptions options = TestService::defaultOptions();
    options.databasePath = database;
    options.tlsCertificateFile = certificate;
    options.tlsKeyFile = key;
    TimeLoggingService service(options);
    QString error;
    QVERIFY(!service.start(&error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(service.port(), quint16(0));
}

void tst_ServiceStartup::portInUse()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    ServiceOptions options = TestService::defaultOptions();
    options.port = taken.serverPort();
    TimeLoggingService service(options);
    QString error;
    QVERIFY(!service.start(&error));
    QVERIFY2(error.contains(u"127.0.0.1:%1"_s.arg(taken.serverPort())), qPrintable(error));

    // A running service refuses a second start.
    TestService running;
    QVERIFY(!running->start(&error));
    QVERIFY(!error.isEmpty());
}

void tst_ServiceStartup::servesHttps()
{
    const QString openssl = QStandardPaths::findExecutable(u"openssl"_s);
    if (openssl.isEmpty())
        QSKIP("openssl is needed to make a test certificate");
    QTemporaryDir dir;
    const QString cert = dir.filePath(u"cert.pem"_s);
    const QString key = dir.filePath(u"key.pem"_s);
    QProcess make;
    make.start(openssl,
               {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s, u"1"_s, u"-subj"_s,
                u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s, key, u"-out"_s,
                cert});
    QVERIFY(make.waitForFinished(60000));
    QCOMPARE(make.exitCode(), 0);

    ServiceOptions options = TestService::defaultOptions();
    options.tlsCertificateFile = cert;
    options.tlsKeyFile = key;
    TestService server(options);
    QVERIFY2(server.baseUrl().startsWith(u"https://127.0.0.1:"_s), qPrintable(server.baseUrl()));

    TestHttp https(server.baseUrl());
    https.setCaCertificates(QSslCertificate::fromPath(cert));
    const TestHttpReply grant = https.send("GET", passwordPath(u"demo@zorvel.test"_s, u"demo"_s), {}, {clientAuth()});
    QCOMPARE(grant.status, 200);
    const QString access = grant.object().value("access_token"_L1).toString();
    QCOMPARE(https.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(access)}).status, 200);

    // Without trust in the certificate the client refuses, as it should.
    TestHttp untrusting(server.baseUrl());
    const TestHttpReply refused = untrusting.send("GET", u"oauth/api/types"_s);
    QCOMPARE(refused.status, 0);
    QCOMPARE(refused.error, QNetworkReply::SslHandshakeFailedError);
}

QTEST_GUILESS_MAIN(tst_ServiceStartup)
#include "tst_ServiceStartup.moc"
