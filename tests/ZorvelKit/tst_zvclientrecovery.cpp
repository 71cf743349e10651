// Token grants and the silent recovery of failed requests: what reaches the
// caller for each kind of refusal, the refresh and the replay on the wire.
#include "tst_zvclient_fixture.h"

#include "NotificationCenter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QUuid>

using namespace Qt::StringLiterals;
using namespace ClientFixture;

namespace {

struct Scenario
{
    bool expireTokens = false; // the service's own "Access token expired" for the first request
    QList<FailureRule> rules; // hook answers, in order
};

FailureRule answer(const QString &path, int status, const QByteArray &body,
                   const QByteArray &contentType = "application/json", int count = 1)
{
    FailureRule rule;
    rule.path = path;
    rule.status = status;
    rule.body = body;
    rule.contentType = contentType;
    rule.count = count;
    return rule;
}

// "METHOD path status" of every request the service received.
QStringList sequence(TestService &server)
{
    QStringList lines;
    for (const RecordedRequest &request : server->requests())
        lines.append(u"%1 %2 %3"_s.arg(request.method, request.path).arg(request.status));
    return lines;
}

struct NotificationCount
{
    int count = 0;
    NotificationCenter::Token token;
    NotificationCount()
        : token(NotificationCenter::defaultCenter().addObserver(kNetworkManagerRefreshTokenExpiredNotification,
                                                                [this](const QString &) { ++count; }))
    { }
    ~NotificationCount() { NotificationCenter::defaultCenter().removeObserver(token); }
};

QString firstTypeId(TestService &server, const QString &accessToken)
{
    TestHttp http(server.baseUrl());
    const TestHttpReply reply = http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(accessToken)});
    return reply.array().at(0).toObject().value(u"id"_s).toString();
}

const QString kFirst = u"GET /oauth/api/types"_s;
// The URLs of grants and replays are formed with two slashes after the host;
// the network stack sends the request line with the path normalised to one.
const QString kRefresh = u"POST /oauth/token"_s;
const QString kReplay = u"GET /oauth/api/types"_s;

} // namespace

Q_DECLARE_METATYPE(Scenario)

class TestZVClientRecovery : public QObject
{
    Q_OBJECT

    TestEnvironment m_environment;
    ZVClient &client = ZVClient::sharedInstance();

private slots:
    void initTestCase()
    {
        useApplicationName("tst_zvclientrecovery");
        QVERIFY(m_environment.isValid());
    }
    void cleanup()
    {
        client.logout();
        ZVClient::setBaseURLForTesting(QString());
    }

    void decision_data()
    {
        QTest::addColumn<Scenario>("scenario");
        QTest::addColumn<bool>("expectSuccess");
        QTest::addColumn<int>("expectedStatus"); // of the error handed over; 0: no response
        QTest::addColumn<QString>("expectedErrorPath"); // which answer that error came from
        QTest::addColumn<int>("expectedNotifications");
        QTest::addColumn<QStringList>("expectedSequence");

        const QByteArray expired = R"({"error":"invalid_token","error_description":"Access token expired: x"})";
        const QString types = u"types"_s;
        const QString token = u"oauth/token"_s;
        const QString api = u"/oauth/api/types"_s;
        // Paths of the URLs as formed, before the network stack normalises them.
        const QString tokenPath = u"//oauth/token"_s;
        const QString replayPath = u"//oauth/api/types"_s;

        FailureRule hang;
        hang.kind = FailureRule::Kind::Hang;
        hang.path = types;
        QTest::newRow("no answer") << Scenario {false, {hang}} << false << 0 << QString() << 0
                                   << QStringList {kFirst + u" 0"_s};
        QTest::newRow("expired; refresh and replay succeed")
            << Scenario {true, {}} << true << 0 << QString() << 0
            << QStringList {kFirst + u" 401"_s, kRefresh + u" 200"_s, kReplay + u" 200"_s};
        QTest::newRow("invalid access token; refreshed")
            << Scenario {false,
                         {answer(types, 401,
                                 R"({"error":"invalid_token","error_description":"Invalid access token: q"})")}}
            << true << 0 << QString() << 0
            << QStringList {kFirst + u" 401"_s, kRefresh + u" 200"_s, kReplay + u" 200"_s};
        QTest::newRow("invalid_token without description; refreshed")
            << Scenario {false, {answer(types, 401, R"({"error":"invalid_token"})")}} << true << 0 << QString() << 0
            << QStringList {kFirst + u" 401"_s, kRefresh + u" 200"_s, kReplay + u" 200"_s};
        QTest::newRow("description not a string counts as none")
            << Scenario {false, {answer(types, 401, R"({"error":"invalid_token","error_description":7})")}} << true << 0
            << QString() << 0 << QStringList {kFirst + u" 401"_s, kRefresh + u" 200"_s, kReplay + u" 200"_s};
        QTest::newRow("expired; replay fails")
            << Scenario {false, {answer(types, 401, expired), answer(types, 503, R"({"error":"down"})")}} << false
            << 503 << replayPath << 0 << QStringList {kFirst + u" 401"_s, kRefresh + u" 200"_s, kReplay + u" 503"_s};
        QTest::newRow("replay refused again; no second refresh")
            << Scenario {false, {answer(types, 401, expired, "application/json", 2)}} << false << 401 << replayPath << 0
            << QStringList {kFirst + u" 401"_s, kRefresh + u" 200"_s, kReplay + u" 401"_s};
        QTest::newRow("expired; refresh token refused")
            << Scenario {true,
                         {answer(token, 400,
                                 R"({"error":"invalid_grant","error_description":"Invalid refresh token: r"})")}}
            << false << 400 << tokenPath << 1 << QStringList {kFirst + u" 401"_s, kRefresh + u" 400"_s};
        QTest::newRow("refresh itself answered expired; bounded")
            << Scenario {true, {answer(token, 401, expired)}} << false << 401 << tokenPath << 0
            << QStringList {kFirst + u" 401"_s, kRefresh + u" 401"_s};
        QTest::newRow("refresh answered invalid_token without description; bounded")
            << Scenario {true, {answer(token, 401, R"({"error":"invalid_token"})")}} << false << 401 << tokenPath << 0
            << QStringList {kFirst + u" 401"_s, kRefresh + u" 401"_s};
        QTest::newRow("refresh answer without access token")
            << Scenario {true, {answer(token, 200, R"({"refresh_token":"r2"})")}} << false << 0 << QString() << 0
            << QStringList {kFirst + u" 401"_s, kRefresh + u" 200"_s};
        QTest::newRow("invalid_token about the refresh token")
            << Scenario {false,
                         {answer(types, 401,
                                 R"({"error":"invalid_token","error_description":"The refresh token is gone"})")}}
            << false << 401 << api << 1 << QStringList {kFirst + u" 401"_s};
        QTest::newRow("invalid_token, other description")
            << Scenario {false, {answer(types, 401, R"({"error":"invalid_token","error_description":"Malformed"})")}}
            << false << 401 << api << 0 << QStringList {kFirst + u" 401"_s};
        QTest::newRow("phrases are case-sensitive")
            << Scenario {false,
                         {answer(types, 401,
                                 R"({"error":"invalid_token","error_description":"access token EXPIRED"})")}}
            << false << 401 << api << 0 << QStringList {kFirst + u" 401"_s};
        QTest::newRow("unauthorized")
            << Scenario {false, {answer(types, 401, R"({"error":"unauthorized","error_description":"No token"})")}}
            << false << 401 << api << 0 << QStringList {kFirst + u" 401"_s};
        QTest::newRow("401 HTML") << Scenario {false, {answer(types, 401, "<html>no</html>", "text/html")}} << false
                                  << 401 << api << 0 << QStringList {kFirst + u" 401"_s};
        QTest::newRow("400 invalid_grant about the refresh token")
            << Scenario {false,
                         {answer(types, 400,
                                 R"({"error":"invalid_grant","error_description":"Expired refresh token"})")}}
            << false << 400 << api << 1 << QStringList {kFirst + u" 400"_s};
        QTest::newRow("400 invalid_grant without description")
            << Scenario {false, {answer(types, 400, R"({"error":"invalid_grant"})")}} << false << 400 << api << 1
            << QStringList {kFirst + u" 400"_s};
        QTest::newRow("400 invalid_grant, other description")
            << Scenario {false,
                         {answer(types, 400, R"({"error":"invalid_grant","error_description":"Bad credentials"})")}}
            << false << 400 << api << 0 << QStringList {kFirst + u" 400"_s};
        QTest::newRow("400 other code")
            << Scenario {false,
                         {answer(types, 400, R"({"error":"invalid_request","error_description":"refresh token"})")}}
            << false << 400 << api << 0 << QStringList {kFirst + u" 400"_s};
        QTest::newRow("500 with an invalid_token body") << Scenario {false, {answer(types, 500, expired)}} << false
                                                        << 500 << api << 0 << QStringList {kFirst + u" 500"_s};
    }
    void decision()
    {
        QFETCH(Scenario, scenario);
        QFETCH(bool, expectSuccess);
        QFETCH(int, expectedStatus);
        QFETCH(QString, expectedErrorPath);
        QFETCH(int, expectedNotifications);
        QFETCH(QStringList, expectedSequence);

        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl(), 400);
        const ZVTokenPtr stored = storeTokens(server.demoTokens());
        if (scenario.expireTokens)
            server->expireAllAccessTokens();
        for (const FailureRule &rule : std::as_const(scenario.rules))
            server->addFailure(rule);

        NotificationCount notifications;
        Calls calls;
        client.GET(u"types"_s, std::nullopt, calls.success(), calls.failure());
        ZV_WAIT_FOR_ONE_CALL(calls);

        QCOMPARE(sequence(server), expectedSequence);
        QCOMPARE(notifications.count, expectedNotifications);
        QCOMPARE(!calls.error, expectSuccess);
        const ZVTokenPtr now = ZVCredentialStorage::sharedCredentialStorage().token();
        QVERIFY(now);
        const bool replayed = expectedSequence.size() == 3;
        if (replayed) {
            // Refreshed: the new token is stored without expiry and signed the replay.
            QVERIFY(now->accessToken() != stored->accessToken());
            QCOMPARE(now->expiresAt(), std::nullopt);
            QCOMPARE(server->requests().constLast().headers.value(u"authorization"_s),
                     u"Bearer "_s + now->accessToken().value_or(QString()));
        } else {
            // No refresh came through: the stored token is left as it was.
            QCOMPARE(now->accessToken(), stored->accessToken());
            QCOMPARE(now->refreshToken(), stored->refreshToken());
        }
        if (expectSuccess) {
            QVERIFY(calls.object && calls.object->isArray());
            return;
        }
        QCOMPARE(calls.status(), expectedStatus);
        if (expectedStatus != 0) {
            const auto response
                = calls.error->userInfo().value(HTTPResponseSerializerResponseKey).value<HTTPURLResponse>();
            QCOMPARE(response.url().path(), expectedErrorPath);
        }
    }

    void refusedRefreshTokenLogsInOrder()
    {
        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        const auto tokens = server.demoTokens();
        storeToken(tokens.accessToken, u"no-such-refresh-token"_s);
        server->expireAllAccessTokens();

        LogCapture logs;
        NotificationCount notifications;
        Calls calls;
        client.GET(u"types"_s, std::nullopt, calls.success(), calls.failure());
        ZV_WAIT_FOR_ONE_CALL(calls);

        const QStringList prefixes {u"NetworkManager: Start GET: types"_s,
                                    u"NetworkManager: Error while doing GET on 'types'. Error details: "_s,
                                    u"NetworkManager: got invalid_token. Try to refresh..."_s,
                                    u"Error refresh token: "_s,
                                    u"NetworkManager: Error while doing token refresh: "_s,
                                    u"NetworkManager: got invalid_grant"_s};
        QCOMPARE(logs.networkStartingWith(prefixes), prefixes);
        QCOMPARE(logs.network().size(), prefixes.size());
        QCOMPARE(logs.network().at(4),
                 u"NetworkManager: Error while doing token refresh: "_s + calls.error->fullDescription());
        QCOMPARE(notifications.count, 1);
        QCOMPARE(calls.status(), 400); // the refresh's error, not the first 401
        const ZVTokenPtr now = ZVCredentialStorage::sharedCredentialStorage().token();
        QCOMPARE(now->accessToken(), tokens.accessToken);
        QCOMPARE(now->refreshToken(), u"no-such-refresh-token"_s);
    }

    void replayRepeatsTheRequest_data()
    {
        QTest::addColumn<QString>("method");
        QTest::newRow("GET with query") << u"GET"_s;
        QTest::newRow("POST with activity body") << u"POST"_s;
    }
    void replayRepeatsTheRequest()
    {
        QFETCH(QString, method);

        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        const auto tokens = server.demoTokens();
        const QString typeId = firstTypeId(server, tokens.accessToken);
        storeTokens(tokens);
        server->expireAllAccessTokens();
        server->clearRequests();

        Calls calls;
        if (method == u"GET"_s) {
            client.GET(u"activities"_s,
                       QVariantMap {{u"since"_s, 5}, {u"q"_s, u"a b&c=d#e+f%g"_s}, {u"who"_s, u"zoë@example.org"_s}},
                       calls.success(), calls.failure());
        } else {
            auto activity = std::make_shared<Activity>();
            activity->setGuid(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
            activity->setTypeId(typeId);
            activity->setComment(u"replayed & kept"_s);
            activity->setState(ActivityStateRunning);
            activity->setStart(QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
            client.POST(u"activities"_s, activity->dict().toVariantMap(), calls.success(), calls.failure());
        }
        ZV_WAIT_FOR_ONE_CALL(calls);
        QVERIFY2(!calls.error, qPrintable(calls.describe()));

        const QList<RecordedRequest> requests = server->requests();
        QCOMPARE(requests.size(), 3);
        const RecordedRequest &first = requests[0];
        const RecordedRequest &replay = requests[2];
        QCOMPARE(first.status, 401);
        QCOMPARE(replay.method, method);
        QCOMPARE(replay.path, u"/oauth/api/activities"_s);
        QCOMPARE(replay.query, first.query);
        QCOMPARE(QJsonDocument::fromJson(replay.body).object(), QJsonDocument::fromJson(first.body).object());
        QCOMPARE(replay.headers.value(u"content-type"_s), first.headers.value(u"content-type"_s));
        QVERIFY(replay.headers.value(u"authorization"_s) != first.headers.value(u"authorization"_s));
        QCOMPARE(replay.headers.value(u"authorization"_s), u"Bearer "_s + client.accessToken().value_or(QString()));
    }

    void concurrentExpiredRequestsEachRecover()
    {
        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        storeTokens(server.demoTokens());
        server->expireAllAccessTokens();

        Calls calls[3];
        client.GET(u"types"_s, std::nullopt, calls[0].success(), calls[0].failure());
        client.GET(u"activities"_s, std::nullopt, calls[1].success(), calls[1].failure());
        client.GET(u"types"_s, std::nullopt, calls[2].success(), calls[2].failure());
        for (Calls &call : calls) {
            ZV_WAIT_FOR_ONE_CALL(call);
            QVERIFY2(!call.error, qPrintable(call.describe()));
        }
        const QStringList lines = sequence(server);
        QCOMPARE(lines.count(kRefresh + u" 200"_s), 3);
        QCOMPARE(lines.count(kReplay + u" 200"_s), 2);
        QCOMPARE(lines.count(u"GET /oauth/api/activities 200"_s), 1);
        QCOMPARE(lines.size(), 9);
    }

    void refreshWithoutRefreshToken()
    {
        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        storeTokens(server.demoTokens());
        server->expireAllAccessTokens();
        const QJsonObject onlyAccess {{u"access_token"_s, server.demoTokens().accessToken}};
        server->addFailure(answer(u"oauth/token"_s, 200, QJsonDocument(onlyAccess).toJson()));

        Calls first;
        client.GET(u"types"_s, std::nullopt, first.success(), first.failure());
        ZV_WAIT_FOR_ONE_CALL(first);
        QVERIFY2(!first.error, qPrintable(first.describe()));
        QCOMPARE(ZVCredentialStorage::sharedCredentialStorage().token()->refreshToken(), std::nullopt);

        // The next refresh has no refresh token to send; the service refuses it.
        server->expireAllAccessTokens();
        server->clearRequests();
        NotificationCount notifications;
        Calls second;
        client.GET(u"types"_s, std::nullopt, second.success(), second.failure());
        ZV_WAIT_FOR_ONE_CALL(second);
        QCOMPARE(server->requests().value(1).query, u"grant_type=refresh_token&refresh_token=%28null%29"_s);
        QCOMPARE(second.status(), 400);
        QCOMPARE(notifications.count, 1);
    }

    void passwordGrant_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("addUser");
        QTest::addColumn<bool>("expectSuccess");
        QTest::addColumn<QString>("expectedQuery");

        QTest::newRow("demo account") << TimeLoggingService::demoEmail << TimeLoggingService::demoPassword << false
                                      << true << u"grant_type=password&username=demo@zorvel.test&password=demo"_s;
        QTest::newRow("awkward password") << u"first.last+tag@example.org"_s << u"p&ss#w=rd +%é"_s << true << true
                                          << u"grant_type=password&username=first.last%2Btag@example.org"
                                             u"&password=p%26ss%23w%3Drd%20%2B%25%C3%A9"_s;
        QTest::newRow("non-ASCII user name") << u"zoë@example.org"_s << u"geheim"_s << true << true
                                             << u"grant_type=password&username=zo%C3%AB@example.org&password=geheim"_s;
        QTest::newRow("wrong password") << TimeLoggingService::demoEmail << u"demo&x"_s << false << false
                                        << u"grant_type=password&username=demo@zorvel.test&password=demo%26x"_s;
    }
    void passwordGrant()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(bool, addUser);
        QFETCH(bool, expectSuccess);
        QFETCH(QString, expectedQuery);

        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        if (addUser) {
            QString why;
            QVERIFY2(server->addUser(username, password, &why), qPrintable(why));
        }

        LogCapture logs;
        int count = 0;
        std::optional<QJsonObject> response;
        std::optional<Error> error;
        client.getTokenForUsername(username, password,
                                   [&](const std::optional<QJsonObject> &r, const std::optional<Error> &e) {
                                       ++count;
                                       response = r;
                                       error = e;
                                   });
        QTRY_COMPARE(count, 1);
        QTest::qWait(30);
        QCOMPARE(count, 1);
        QCOMPARE(!error, expectSuccess);
        QCOMPARE(response.has_value(), expectSuccess);

        const RecordedRequest request = server->requests().value(0);
        QCOMPARE(request.method, u"GET"_s);
        QCOMPARE(request.path, u"/oauth/token"_s);
        QCOMPARE(request.query, expectedQuery);
        QCOMPARE(request.headers.value(u"authorization"_s), u"Basic YW5kcm9pZENsaWVudDp3b21iYXQ="_s);
        QCOMPARE(request.body, QByteArray());
        QVERIFY(client.accessToken() == std::nullopt); // the grant stores nothing itself
        if (expectSuccess) {
            QVERIFY(!response->value(u"access_token"_s).toString().isEmpty());
            QVERIFY(!response->value(u"refresh_token"_s).toString().isEmpty());
            QVERIFY(logs.network().value(0).startsWith(u"Get token successfully: {"_s));
        } else {
            QCOMPARE(error->localizedDescription(), u"Request failed: bad request (400)"_s);
            QCOMPARE(logs.network(), QStringList {u"Error get token: "_s + error->fullDescription()});
        }
    }

    // With access tokens that live two seconds, a read after expiry succeeds
    // without the caller seeing anything of the refresh.
    void readAfterExpiryRecoversSilently()
    {
        ServiceOptions options = TestService::defaultOptions();
        options.tokenLifetimeSeconds = 2;
        TestService server(options);
        ZVClient::setBaseURLForTesting(server.baseUrl());

        std::optional<QJsonObject> answer;
        client.getTokenForUsername(
            TimeLoggingService::demoEmail, TimeLoggingService::demoPassword,
            [&](const std::optional<QJsonObject> &r, const std::optional<Error> &) { answer = r ? r : QJsonObject(); });
        QTRY_VERIFY(answer);
        storeToken(answer->value(u"access_token"_s).toString(), answer->value(u"refresh_token"_s).toString());
        QTest::qWait(2300);
        server->clearRequests();

        int count = 0;
        std::optional<QList<ActivityPtr>> activities;
        std::optional<Error> error;
        client.getActivitiesWithHandler([&](const std::optional<QList<ActivityPtr>> &a, const std::optional<Error> &e) {
            ++count;
            activities = a;
            error = e;
        });
        QTRY_COMPARE(count, 1);
        QVERIFY2(!error, qPrintable(error ? error->fullDescription() : QString()));
        QVERIFY(activities && !activities->isEmpty());
        QCOMPARE(sequence(server),
                 (QStringList {u"GET /oauth/api/activities 401"_s, kRefresh + u" 200"_s,
                               u"GET /oauth/api/activities 200"_s}));
    }
};

QTEST_GUILESS_MAIN(TestZVClientRecovery)
#include "tst_zvclientrecovery.moc"
