// The HTTP layer on the wire, against the in-process service: what a task
// sends and exposes, and how answers that never come end.
#include "HTTPJSONRequestSerializer.h"
#include "HTTPSessionManager.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// Everything the handlers of one request saw.
struct Outcome
{
    int calls = 0;
    bool onGUIThread = true;
    std::shared_ptr<HTTPTask> task;
    std::optional<QJsonValue> object;
    std::optional<Error> error;

    HTTPSessionManager::SuccessHandler success()
    {
        return [this](const std::shared_ptr<HTTPTask> &t, const std::optional<QJsonValue> &o) {
            record(t);
            object = o;
        };
    }
    HTTPSessionManager::FailureHandler failure()
    {
        return [this](const std::shared_ptr<HTTPTask> &t, const Error &e) {
            record(t);
            error = e;
        };
    }
    void record(const std::shared_ptr<HTTPTask> &t)
    {
        ++calls;
        task = t;
        onGUIThread = onGUIThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    }
};

std::unique_ptr<HTTPSessionManager> apiManager(TestService &server, const QString &accessToken, int timeoutMs = 0)
{
    auto manager = std::make_unique<HTTPSessionManager>(QUrl(server.baseUrl() + u"oauth/api"_s));
    auto serializer = std::make_shared<HTTPJSONRequestSerializer>();
    serializer->setAuthorizationHeaderFieldWithBearerToken(accessToken);
    if (timeoutMs > 0)
        serializer->setTimeoutInterval(timeoutMs);
    manager->setRequestSerializer(serializer);
    return manager;
}

QString firstTypeId(TestService &server, const QString &accessToken)
{
    TestHttp http(server.baseUrl());
    const TestHttpReply reply = http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(accessToken)});
    return reply.array().at(0).toObject().value(u"id"_s).toString();
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace

class TestHTTP : public QObject
{
    Q_OBJECT

private slots:
    void sendsAndExposesRequest()
    {
        TestService server;
        const auto tokens = server.demoTokens();
        const QString typeId = firstTypeId(server, tokens.accessToken);
        QVERIFY(!typeId.isEmpty());
        server->clearRequests();
        Outcome outcome;
        {
            // The manager is gone long before the answer: the task carries on alone.
            auto manager = apiManager(server, tokens.accessToken);
            manager->POST(u"activities"_s,
                          QVariantMap {{u"id"_s, u"6C5B2F1E-0000-4000-8000-000000000001"_s},
                                       {u"typeId"_s, typeId},
                                       {u"comment"_s, u"a&b"_s},
                                       {u"status"_s, u"running"_s},
                                       {u"start"_s, 100},
                                       {u"intervals"_s, QVariantList {}}},
                          outcome.success(), outcome.failure());
        }
        QTRY_COMPARE(outcome.calls, 1);
        QVERIFY(outcome.onGUIThread);
        QVERIFY2(!outcome.error, qPrintable(outcome.error ? outcome.error->fullDescription() : QString()));

        const HTTPRequest &sent = outcome.task->currentRequest();
        QCOMPARE(sent.HTTPMethod(), u"POST"_s);
        QCOMPARE(sent.url().toString(), server.baseUrl() + u"oauth/api/activities"_s);
        QCOMPARE(sent.valueForHTTPHeaderField(u"Authorization"_s), u"Bearer "_s + tokens.accessToken);
        QVERIFY(outcome.task->response());
        QVERIFY(outcome.task->response()->statusCode() / 100 == 2);
        QCOMPARE(outcome.task->state(), HTTPTask::State::Completed);

        const auto requests = server->requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].method, u"POST"_s);
        QCOMPARE(requests[0].path, u"/oauth/api/activities"_s);
        QCOMPARE(requests[0].headers.value(u"authorization"_s), u"Bearer "_s + tokens.accessToken);
        QCOMPARE(requests[0].headers.value(u"content-type"_s), u"application/json; charset=utf-8"_s);
        QCOMPARE(requests[0].body, sent.HTTPBody());
        QCOMPARE(QJsonDocument::fromJson(requests[0].body).object().value(u"comment"_s).toString(), u"a&b"_s);
    }

    void queryGoesOutEscaped()
    {
        TestService server;
        Outcome outcome;
        apiManager(server, server.demoTokens().accessToken)
            ->GET(u"types"_s, QVariantMap {{u"q"_s, u"a b&c#d+e%f"_s}, {u"who"_s, u"x.y@z.org"_s}}, outcome.success(),
                  outcome.failure());
        QTRY_COMPARE(outcome.calls, 1);
        QCOMPARE(server->requests().value(0).query, u"q=a%20b%26c%23d%2Be%25f&who=x.y@z.org"_s);
        QVERIFY(outcome.object && outcome.object->isArray());
    }

    void errorAnswerKeepsStatusAndBody()
    {
        // The network stack flags every non-2xx answer as an error; the layer
        // must still see the status and the body.
        TestService server;
        Outcome outcome;
        apiManager(server, u"not-a-token"_s)->GET(u"types"_s, std::nullopt, outcome.success(), outcome.failure());
        QTRY_COMPARE(outcome.calls, 1);
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error->localizedDescription(), u"Request failed: unauthorized (401)"_s);
        QCOMPARE(outcome.task->response()->statusCode(), 401);
        QCOMPARE(QJsonDocument::fromJson(outcome.task->responseData()).object().value(u"error"_s).toString(),
                 u"invalid_token"_s);
    }

    void noAnswer_data()
    {
        QTest::addColumn<int>("kind"); // -1: closed port
        QTest::addColumn<int>("expectedCode");
        QTest::newRow("closed port") << -1 << int(QNetworkReply::ConnectionRefusedError);
        QTest::newRow("connection closed")
            << int(FailureRule::Kind::Close) << int(QNetworkReply::RemoteHostClosedError);
        QTest::newRow("closed mid-body") << int(FailureRule::Kind::CloseMidBody)
                                         << int(QNetworkReply::RemoteHostClosedError);
        QTest::newRow("never answers") << int(FailureRule::Kind::Hang) << int(QNetworkReply::TimeoutError);
    }
    void noAnswer()
    {
        QFETCH(int, kind);
        QFETCH(int, expectedCode);

        TestService server;
        QString base = server.baseUrl();
        if (kind < 0) {
            base = u"http://127.0.0.1:%1/"_s.arg(closedPort());
        } else {
            FailureRule rule;
            rule.kind = FailureRule::Kind(kind);
            rule.path = u"types"_s;
            rule.status = 200;
            rule.count = 10; // the network stack may try a dropped request once more
            server->addFailure(rule);
        }
        auto manager = std::make_unique<HTTPSessionManager>(QUrl(base + u"oauth/api"_s));
        manager->requestSerializer()->setTimeoutInterval(300);
        Outcome outcome;
        manager->GET(u"types"_s, std::nullopt, outcome.success(), outcome.failure());
        QTRY_COMPARE_WITH_TIMEOUT(outcome.calls, 1, 10000);
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error->domain(), HTTPNetworkErrorDomain);
        QCOMPARE(outcome.error->code(), qint64(expectedCode));
        QVERIFY(!outcome.error->localizedDescription().isEmpty());
        QVERIFY(!outcome.error->userInfo().contains(HTTPResponseSerializerResponseKey));
        QVERIFY(!outcome.task->response() || kind == int(FailureRule::Kind::CloseMidBody));
    }

    void cancelCallsFailureOnce()
    {
        TestService server;
        FailureRule hang;
        hang.kind = FailureRule::Kind::Hang;
        hang.path = u"types"_s;
        server->addFailure(hang);
        Outcome outcome;
        auto task = apiManager(server, u"t"_s)->GET(u"types"_s, std::nullopt, outcome.success(), outcome.failure());
        QTRY_COMPARE(server->requests().size(), 1);
        task->cancel();
        QTRY_COMPARE(outcome.calls, 1);
        QCOMPARE(outcome.error->code(), qint64(QNetworkReply::OperationCanceledError));
        QTest::qWait(50);
        QCOMPARE(outcome.calls, 1);
    }
};

QTEST_GUILESS_MAIN(TestHTTP)
#include "tst_http.moc"
