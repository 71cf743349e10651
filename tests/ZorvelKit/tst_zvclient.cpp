// The client's sign-in state, its signed GET/POST/PUT wrappers and its decoder
// of failed answers, against the in-process service.
#include "tst_zvclient_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QTcpServer>

using namespace Qt::StringLiterals;
using namespace ClientFixture;

namespace {

struct Answer
{
    int kind = -1; // -1: none (the service answers itself), -2: closed port, else FailureRule::Kind
    int status = 200;
    QByteArray contentType;
    QByteArray body;
};

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestZVClient : public QObject
{
    Q_OBJECT

    TestEnvironment m_environment;
    ZVClient &client = ZVClient::sharedInstance();

private slots:
    void initTestCase()
    {
        useApplicationName("tst_zvclient");
        QVERIFY(m_environment.isValid());
    }
    void cleanup()
    {
        client.logout();
        ZVClient::setBaseURLForTesting(QString());
    }

    void signInStateFollowsStorage()
    {
        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        QVERIFY(!client.isLoggedIn());
        QCOMPARE(client.accessToken(), std::nullopt);

        // Any stored token counts, even one the service would refuse.
        storeToken(u"refused"_s, std::nullopt);
        QVERIFY(client.isLoggedIn());
        QCOMPARE(client.accessToken(), u"refused"_s);

        client.logout();
        QVERIFY(!client.isLoggedIn());
        QCOMPARE(client.accessToken(), std::nullopt);

        // Signed out, requests still go out, with a bearer that holds no token,
        // and the service's refusal fails the call.
        Calls calls;
        client.GET(u"types"_s, std::nullopt, calls.success(), calls.failure());
        ZV_WAIT_FOR_ONE_CALL(calls);
        QCOMPARE(server->requests().value(0).headers.value(u"authorization"_s), u"Bearer (null)"_s);
        QVERIFY(calls.error);
    }

    void bearerIsReadAtEachSending()
    {
        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        const auto first = server.demoTokens();
        const auto second = server.demoTokens();

        Calls one, two;
        storeTokens(first);
        client.GET(u"types"_s, std::nullopt, one.success(), one.failure());
        storeTokens(second);
        client.GET(u"activities"_s, std::nullopt, two.success(), two.failure());
        ZV_WAIT_FOR_ONE_CALL(one);
        ZV_WAIT_FOR_ONE_CALL(two);
        QVERIFY2(!one.error && !two.error, qPrintable(one.describe() + two.describe()));

        QMap<QString, QString> bearerByPath;
        for (const RecordedRequest &request : server->requests())
            bearerByPath.insert(request.path, request.headers.value(u"authorization"_s));
        QCOMPARE(bearerByPath.value(u"/oauth/api/types"_s), u"Bearer "_s + first.accessToken);
        QCOMPARE(bearerByPath.value(u"/oauth/api/activities"_s), u"Bearer "_s + second.accessToken);
    }

    void wrappers_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expectedQuery");
        QTest::addColumn<QByteArray>("expectedContentType");

        QTest::newRow("GET") << u"GET"_s << u"types"_s << u"since=10&tag=a%26b"_s << QByteArray();
        QTest::newRow("POST") << u"POST"_s << u"activities"_s << QString()
                              << QByteArray("application/json; charset=utf-8");
        QTest::newRow("PUT") << u"PUT"_s << u"activities/A-1"_s << QString()
                             << QByteArray("application/json; charset=utf-8");
    }
    void wrappers()
    {
        QFETCH(QString, method);
        QFETCH(QString, path);
        QFETCH(QString, expectedQuery);
        QFETCH(QByteArray, expectedContentType);

        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        storeTokens(server.demoTokens());
        // The answer is the hook's, so every method meets the same well-formed reply.
        FailureRule ok;
        ok.path = path;
        ok.status = 200;
        ok.body = R"({"ok":true})";
        server->addFailure(ok);

        const QVariantMap parameters {{u"since"_s, 10}, {u"tag"_s, u"a&b"_s}};
        LogCapture logs;
        Calls calls;
        if (method == u"GET"_s)
            client.GET(path, parameters, calls.success(), calls.failure());
        else if (method == u"POST"_s)
            client.POST(path, parameters, calls.success(), calls.failure());
        else
            client.PUT(path, parameters, calls.success(), calls.failure());
        ZV_WAIT_FOR_ONE_CALL(calls);
        QVERIFY2(!calls.error, qPrintable(calls.describe()));
        QCOMPARE(calls.object, QJsonValue(QJsonObject {{u"ok"_s, true}}));

        const RecordedRequest request = server->requests().value(0);
        QCOMPARE(request.method, method);
        QCOMPARE(request.path, u"/oauth/api/"_s + path);
        QCOMPARE(request.query, expectedQuery);
        QCOMPARE(request.headers.value(u"content-type"_s).toLatin1(), expectedContentType);
        if (method != u"GET"_s)
            QCOMPARE(QJsonDocument::fromJson(request.body).object().toVariantMap(), parameters);
        QCOMPARE(logs.network(),
                 (QStringList {u"NetworkManager: Start %1: %2"_s.arg(method, path),
                               u"NetworkManager: Did %1 well: %2"_s.arg(method, path)}));
    }

    void failedAnswers_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("expectedDescription"); // empty: the network stack's own text
        QTest::addColumn<int>("expectedStatus"); // 0: the error carries no response
        QTest::addColumn<QJsonValue>("expectedBody"); // undefined: no decoded body kept
        QTest::addColumn<bool>("expectSerializingLog");

        const auto answer = [](int status, const char *contentType, const char *body) {
            return Answer {int(FailureRule::Kind::Answer), status, contentType, body};
        };
        QTest::newRow("500 HTML") << answer(500, "text/html", "<html><body>boom</body></html>")
                                  << u"Request failed: internal server error (500)"_s << 500
                                  << QJsonValue(QJsonValue::Undefined) << true;
        QTest::newRow("400 JSON") << answer(400, "application/json", R"({"error":"bad","error_description":"no"})")
                                  << u"Request failed: bad request (400)"_s << 400
                                  << QJsonValue(QJsonObject {{u"error"_s, u"bad"_s}, {u"error_description"_s, u"no"_s}})
                                  << false;
        QTest::newRow("404 bare JSON string")
            << answer(404, "text/json", R"("gone")") << u"Request failed: not found (404)"_s << 404
            << QJsonValue(u"gone"_s) << false;
        QTest::newRow("200 HTML") << answer(200, "text/html", "<p>hi</p>")
                                  << u"Request failed: unacceptable content-type: text/html"_s << 200
                                  << QJsonValue(QJsonValue::Undefined) << true;
        QTest::newRow("200 not JSON") << answer(200, "application/json", "{oops") << QString() << 0
                                      << QJsonValue(QJsonValue::Undefined) << false;
        QTest::newRow("closed port") << Answer {-2, 0, {}, {}} << QString() << 0 << QJsonValue(QJsonValue::Undefined)
                                     << false;
        QTest::newRow("never answers") << Answer {int(FailureRule::Kind::Hang), 0, {}, {}}
                                       << u"The request timed out."_s << 0 << QJsonValue(QJsonValue::Undefined)
                                       << false;
    }
    void failedAnswers()
    {
        QFETCH(Answer, answer);
        QFETCH(QString, expectedDescription);
        QFETCH(int, expectedStatus);
        QFETCH(QJsonValue, expectedBody);
        QFETCH(bool, expectSerializingLog);

        TestService server;
        QString base = server.baseUrl();
        if (answer.kind == -2) {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            base = u"http://127.0.0.1:%1/"_s.arg(probe.serverPort());
        } else {
            FailureRule rule;
            rule.kind = FailureRule::Kind(answer.kind);
            rule.path = u"types"_s;
            rule.status = answer.status;
            rule.contentType = answer.contentType;
            rule.body = answer.body;
            server->addFailure(rule);
        }
        ZVClient::setBaseURLForTesting(base, 400);
        storeTokens(server.demoTokens());

        LogCapture logs;
        Calls calls;
        client.GET(u"types"_s, std::nullopt, calls.success(), calls.failure());
        ZV_WAIT_FOR_ONE_CALL(calls);
        QVERIFY(calls.error);
        if (!expectedDescription.isEmpty())
            QCOMPARE(calls.error->localizedDescription(), expectedDescription);
        QVERIFY(!calls.error->localizedDescription().isEmpty());
        QCOMPARE(calls.status(), expectedStatus);
        if (expectedBody.isUndefined())
            QVERIFY(!calls.error->userInfo().contains(JSONResponseSerializerWithDataKey));
        else
            QCOMPARE(calls.error->userInfo().value(JSONResponseSerializerWithDataKey).toJsonValue(), expectedBody);
        if (expectedStatus != 0) {
            // Keeping the body changes the information only, not what the error is.
            QCOMPARE(calls.error->domain(), HTTPResponseSerializerErrorDomain);
            QCOMPARE(calls.error->code(),
                     expectedStatus / 100 == 2 ? qint64(HTTPJSONResponseSerializer::UnacceptableContentType)
                                               : qint64(HTTPJSONResponseSerializer::UnacceptableStatusCode));
        }
        QCOMPARE(logs.network().contains(u"Error serializing response to JSON"_s), expectSerializingLog);
        QCOMPARE(logs.network().last(),
                 u"NetworkManager: Error while doing GET on 'types'. Error details: %1"_s.arg(
                     calls.error->fullDescription()));
    }

    void emptyAnswerSucceedsWithNothing()
    {
        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl());
        storeTokens(server.demoTokens());
        FailureRule noContent;
        noContent.path = u"types"_s;
        noContent.status = 204;
        noContent.contentType = QByteArray();
        server->addFailure(noContent);

        Calls calls;
        client.GET(u"types"_s, std::nullopt, calls.success(), calls.failure());
        ZV_WAIT_FOR_ONE_CALL(calls);
        QVERIFY2(!calls.error, qPrintable(calls.describe()));
        QCOMPARE(calls.object, std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestZVClient)
#include "tst_zvclient.moc"
