// Tests of the reference service's token endpoint: password and refresh grants,
// client authentication, error bodies, token lifetime, and what its log line leaves out.
#include "TestSupport.h"

#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
using Header = QPair<QByteArray, QByteArray>;

QString passwordQuery(const QString &user, const QString &password)
{
    return u"oauth/token?grant_type=password&username=%1&password=%2"_s.arg(user, password);
}

Header clientAuth()
{
    return TestHttp::basic(TimeLoggingService::clientId, TimeLoggingService::clientSecret);
}

QStringList capturedLines;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedLines.append(message);
}
} // namespace

class tst_ServiceTokenEndpoint : public QObject
{
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void refreshKeepsRefreshTokenAndIssuesWorkingAccessToken();
    void accessTokenExpiresAfterItsLifetime();
    void tokensAreRandom128BitHex();
    void logLineHasNoSecrets();
};

void tst_ServiceTokenEndpoint::answers_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path"); // "%R" stands for a valid refresh token of the demo account
    QTest::addColumn<QList<Header>>("headers");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error"); // empty: a token answer is expected
    QTest::addColumn<QString>("description"); // exact, with "%R" replaced

    const QList<Header> client {clientAuth()};
    const QString demo = passwordQuery(TimeLoggingService::demoEmail, TimeLoggingService::demoPassword);
    const QString unauthorized = u"Full authentication is required to access this resource"_s;

    QTest::newRow("password grant, GET") << QByteArray("GET") << demo << client << 200 << QString() << QString();
    QTest::newRow("password grant, POST") << QByteArray("POST") << demo << client << 200 << QString() << QString();
    QTest::newRow("two leading slashes") << QByteArray("GET") << u"/"_s + demo << client << 200 << QString()
                                         << QString();
    QTest::newRow("three leading slashes")
        << QByteArray("GET") << u"//"_s + demo << client << 200 << QString() << QString();
    QTest::newRow("e-mail in other case") << QByteArray("GET") << passwordQuery(u"DEMO@zorvel.test"_s, u"demo"_s)
                                          << client << 200 << QString() << QString();
    QTest::newRow("refresh grant") << QByteArray("POST") << u"/oauth/token?grant_type=refresh_token&refresh_token=%R"_s
                                   << client << 200 << QString() << QString();

    QTest::newRow("no client auth") << QByteArray("GET") << demo << QList<Header>() << 401 << u"unauthorized"_s
                                    << unauthorized;
    QTest::newRow("wrong client secret") << QByteArray("GET") << demo
                                         << QList<Header> {TestHttp::basic(u"androidClient"_s, u"wombat2"_s)} << 401
                                         << u"unauthorized"_s << unauthorized;
    QTest::newRow("wrong client id") << QByteArray("GET") << demo
                                     << QList<Header> {TestHttp::basic(u"iosClient"_s, u"wombat"_s)} << 401
                                     << u"unauthorized"_s << unauthorized;
    QTest::newRow("malformed basic") << QByteArray("GET") << demo
                                     << QList<Header> {{"Authorization", "Basic %%%not-base64"}} << 401
                                     << u"unauthorized"_s << unauthorized;
    QTest::newRow("bearer instead of basic") << QByteArray("GET") << demo << QList<Header> {TestHttp::bearer(u"abc"_s)}
                                             << 401 << u"unauthorized"_s << unauthorized;
    // The client authentication is checked first: a bad grant behind it says nothing.
    QTest::newRow("no client auth, bad password") << QByteArray("GET") << passwordQuery(u"demo@zorvel.test"_s, u"x"_s)
                                                  << QList<Header>() << 401 << u"unauthorized"_s << unauthorized;

    QTest::newRow("wrong password") << QByteArray("GET") << passwordQuery(u"demo@zorvel.test"_s, u"demo2"_s) << client
                                    << 400 << u"invalid_grant"_s << u"Bad credentials"_s;
    QTest::newRow("unknown user") << QByteArray("GET") << passwordQuery(u"nobody@zorvel.test"_s, u"demo"_s) << client
                                  << 400 << u"invalid_grant"_s << u"Bad credentials"_s;
    QTest::newRow("password missing") << QByteArray("GET")
                                      << u"oauth/token?grant_type=password&username=demo@zorvel.test"_s << client << 400
                                      << u"invalid_grant"_s << u"Bad credentials"_s;
    QTest::newRow("unknown refresh token")
        << QByteArray("POST") << u"oauth/token?grant_type=refresh_token&refresh_token=0123abcd"_s << client << 400
        << u"invalid_grant"_s << u"Invalid refresh token: 0123abcd"_s;
    QTest::newRow("empty refresh token") << QByteArray("POST")
                                         << u"oauth/token?grant_type=refresh_token&refresh_token="_s << client << 400
                                         << u"invalid_grant"_s << u"Invalid refresh token: "_s;
    // An access token is not a refresh token, even though both are hex strings.
    QTest::newRow("access token as refresh token")
        << QByteArray("POST") << u"oauth/token?grant_type=refresh_token&refresh_token=%A"_s << client << 400
        << u"invalid_grant"_s << u"Invalid refresh token: %A"_s;
    QTest::newRow("other grant type") << QByteArray("GET") << u"oauth/token?grant_type=client_credentials"_s << client
                                      << 400 << u"unsupported_grant_type"_s
                                      << u"Unsupported grant type: client_credentials"_s;
    QTest::newRow("no grant type") << QByteArray("GET") << u"oauth/token"_s << client << 400
                                   << u"unsupported_grant_type"_s << u"Missing grant type"_s;
    QTest::newRow("DELETE") << QByteArray("DELETE") << demo << client << 405 << u"method_not_allowed"_s
                            << u"DELETE is not allowed on /oauth/token"_s;
}

void tst_ServiceTokenEndpoint::answers()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QList<Header>, headers);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(QString, description);

    TestService server;
    const TimeLoggingService::TokenPair tokens = server.demoTokens();
    path.replace(u"%R"_s, tokens.refreshToken).replace(u"%A"_s, tokens.accessToken);
    description.replace(u"%R"_s, tokens.refreshToken).replace(u"%A"_s, tokens.accessToken);

    // Over a bare socket, so that extra leading slashes reach the service as written.
    TestHttp http(server.baseUrl());
    const TestHttpReply reply = http.sendRaw(method, u"/"_s.append(path).toLatin1(), {}, headers);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("content-type"), QByteArray("application/json"));
    const QJsonObject body = reply.object();
    if (error.isEmpty()) {
        QCOMPARE(body.value("token_type"_L1).toString(), u"bearer"_s);
        QCOMPARE(body.value("expires_in"_L1).toInt(), 3600);
        QVERIFY(body.value("scope"_L1).isString());
        QVERIFY(!body.value("access_token"_L1).toString().isEmpty());
        QVERIFY(!body.value("refresh_token"_L1).toString().isEmpty());
        QCOMPARE(reply.header("cache-control"), QByteArray("no-store"));
        // Whatever grant produced it, the access token opens the API.
        const TestHttpReply types
            = http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(body.value("access_token"_L1).toString())});
        QCOMPARE(types.status, 200);
    } else {
        QCOMPARE(body.value("error"_L1).toString(), error);
        QCOMPARE(body.value("error_description"_L1).toString(), description);
    }
    QCOMPARE(server->requests().first().path, u"/"_s + path.section(u'?', 0, 0));
}

void tst_ServiceTokenEndpoint::refreshKeepsRefreshTokenAndIssuesWorkingAccessToken()
{
    TestService server;
    TestHttp http(server.baseUrl());
    const QJsonObject first
        = http.send("GET", passwordQuery(u"demo@zorvel.test"_s, u"demo"_s), {}, {clientAuth()}).object();
    const QString refresh = first.value("refresh_token"_L1).toString();
    QVERIFY(!refresh.isEmpty());

    const QString refreshPath = u"oauth/token?grant_type=refresh_token&refresh_token="_s + refresh;
    const TestHttpReply second = http.send("POST", refreshPath, {}, {clientAuth()});
    QCOMPARE(second.status, 200);
    QCOMPARE(second.object().value("refresh_token"_L1).toString(), refresh);
    const QString access = second.object().value("access_token"_L1).toString();
    QVERIFY(access != first.value("access_token"_L1).toString());

    // The same refresh token works again, and both access tokens stay usable until they expire.
    const TestHttpReply third = http.send("POST", refreshPath, {}, {clientAuth()});
    QCOMPARE(third.status, 200);
    QCOMPARE(third.object().value("refresh_token"_L1).toString(), refresh);
    for (const QString &token : {first.value("access_token"_L1).toString(), access})
        QCOMPARE(http.send("GET", u"oauth/api/activities"_s, {}, {TestHttp::bearer(token)}).status, 200);
}

void tst_ServiceTokenEndpoint::accessTokenExpiresAfterItsLifetime()
{
    ServiceOptions options = TestService::defaultOptions();
    options.tokenLifetimeSeconds = 1;
    TestService server(options);
    TestHttp http(server.baseUrl());

    const QJsonObject grant
        = http.send("GET", passwordQuery(u"demo@zorvel.test"_s, u"demo"_s), {}, {clientAuth()}).object();
    QCOMPARE(grant.value("expires_in"_L1).toInt(), 1);
    const QString access = grant.value("access_token"_L1).toString();
    QCOMPARE(http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(access)}).status, 200);

    QTRY_COMPARE_WITH_TIMEOUT(http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(access)}).status, 401, 5000);
    const TestHttpReply expired = http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(access)});
    QCOMPARE(expired.object().value("error"_L1).toString(), u"invalid_token"_s);
    QCOMPARE(expired.object().value("error_description"_L1).toString(), u"Access token expired: "_s + access);

    // The refresh token outlives the access token and yields a fresh one.
    const TestHttpReply refreshed = http.send(
        "POST", u"oauth/token?grant_type=refresh_token&refresh_token="_s + grant.value("refresh_token"_L1).toString(),
        {}, {clientAuth()});
    QCOMPARE(refreshed.status, 200);
    const QString fresh = refreshed.object().value("access_token"_L1).toString();
    QCOMPARE(http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(fresh)}).status, 200);
}

void tst_ServiceTokenEndpoint::tokensAreRandom128BitHex()
{
    TestService server;
    const QRegularExpression hex128(u"^[0-9a-f]{32}$"_s);
    QSet<QString> seen;
    for (int i = 0; i < 20; ++i) {
        const TimeLoggingService::TokenPair pair = server.demoTokens();
        QVERIFY2(hex128.match(pair.accessToken).hasMatch(), qPrintable(pair.accessToken));
        QVERIFY2(hex128.match(pair.refreshToken).hasMatch(), qPrintable(pair.refreshToken));
        seen << pair.accessToken << pair.refreshToken;
    }
    QCOMPARE(seen.size(), 40);
    QVERIFY(server->issueTokens(u"nobody@zorvel.test"_s).accessToken.isEmpty());
}

void tst_ServiceTokenEndpoint::logLineHasNoSecrets()
{
    ServiceOptions options = TestService::defaultOptions();
    options.logRequests = true;
    TestService server(options);
    TestHttp http(server.baseUrl());
    const QString secretPassword = u"s3cret-Pass"_s;
    QVERIFY(server->addUser(u"ann@zorvel.test"_s, secretPassword));

    capturedLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const TestHttpReply grant = http.sendRaw(
        "GET", "//" + passwordQuery(u"ann@zorvel.test"_s, secretPassword).toLatin1(), {}, {clientAuth()});
    const QString access = grant.object().value("access_token"_L1).toString();
    const QString refresh = grant.object().value("refresh_token"_L1).toString();
    http.sendRaw("POST", "//oauth/token?grant_type=refresh_token&refresh_token=" + refresh.toLatin1(), {},
                 {clientAuth()});
    http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(access)});
    http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(u"feedface"_s)});
    qInstallMessageHandler(previous);

    QCOMPARE(grant.status, 200);
    QCOMPARE(capturedLines,
             (QStringList {u"GET //oauth/token 200"_s, u"POST //oauth/token 200"_s, u"GET /oauth/api/types 200"_s,
                           u"GET /oauth/api/types 401"_s}));
}

QTEST_GUILESS_MAIN(tst_ServiceTokenEndpoint)
#include "tst_ServiceTokenEndpoint.moc"
