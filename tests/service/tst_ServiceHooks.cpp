// Tests of the reference service's test hooks: failure rules of every kind, their
// matching and counting, the request log, and the same hooks over HTTP under __test/.
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(FailureRule::Kind)

namespace {
using Header = QPair<QByteArray, QByteArray>;

FailureRule rule(FailureRule::Kind kind, const QString &path, int status = 500, const QByteArray &body = {},
                 const QByteArray &contentType = "application/json")
{
    FailureRule result;
    result.kind = kind;
    result.path = path;
    result.status = status;
    result.body = body;
    result.contentType = contentType;
    return result;
}
} // namespace

class tst_ServiceHooks : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void failureKinds_data();
    void failureKinds();
    void rulesMatchMethodPathAndCount();
    void requestLogRecordsWhatCameOverTheWire();
    void hooksOverHttp();
    void hooksNeedTheTestFlag();

private:
    TestHttpReply api(const QByteArray &method, const QString &path, const QByteArray &body = {},
                      int timeoutMs = 10000);

    std::unique_ptr<TestService> m_server;
    std::unique_ptr<TestHttp> m_http;
    QString m_token;
};

void tst_ServiceHooks::init()
{
    m_server = std::make_unique<TestService>();
    m_http = std::make_unique<TestHttp>(m_server->baseUrl());
    m_token = m_server->demoTokens().accessToken;
}

void tst_ServiceHooks::cleanup()
{
    m_http.reset();
    m_server.reset();
}

// Over a bare socket, so that a closed or cut connection is seen as it is,
// without a retry of QNetworkAccessManager's in between.
TestHttpReply tst_ServiceHooks::api(const QByteArray &method, const QString &path, const QByteArray &body,
                                    int timeoutMs)
{
    return m_http->sendRaw(method, "/oauth/api/" + path.toLatin1(), body, {TestHttp::bearer(m_token)}, timeoutMs);
}

void tst_ServiceHooks::failureKinds_data()
{
    QTest::addColumn<FailureRule>("failure");
    QTest::addColumn<int>("status"); // 0: no answer at all
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body"); // expected body; empty: the normal answer
    QTest::addColumn<bool>("cutShort");
    QTest::addColumn<bool>("hangs");

    using Kind = FailureRule::Kind;
    const QByteArray expired = R"({"error":"invalid_token","error_description":"Access token expired: x"})";
    QTest::newRow("answer HTML") << rule(Kind::Answer, u"types"_s, 503, "<h1>down</h1>", "text/html") << 503
                                 << QByteArray("text/html") << QByteArray("<h1>down</h1>") << false << false;
    QTest::newRow("answer OAuth error") << rule(Kind::Answer, u"types"_s, 401, expired) << 401
                                        << QByteArray("application/json") << expired << false << false;
    QTest::newRow("answer any status") << rule(Kind::Answer, u"types"_s, 299, "[]") << 299
                                       << QByteArray("application/json") << QByteArray("[]") << false << false;
    QTest::newRow("close") << rule(Kind::Close, u"types"_s) << 0 << QByteArray() << QByteArray() << false << false;
    QTest::newRow("close mid body") << rule(Kind::CloseMidBody, u"types"_s, 200, R"([{"id":"1"},{"id":"2"}])") << 200
                                    << QByteArray("application/json") << QByteArray(R"([{"id":"1"})") << true << false;
    QTest::newRow("hang") << rule(Kind::Hang, u"types"_s) << 0 << QByteArray() << QByteArray() << false << true;
    FailureRule delay = rule(Kind::Delay, u"types"_s);
    delay.delayMs = 300;
    QTest::newRow("delay") << delay << 200 << QByteArray("application/json") << QByteArray() << false << false;
}

void tst_ServiceHooks::failureKinds()
{
    QFETCH(FailureRule, failure);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(bool, cutShort);
    QFETCH(bool, hangs);

    const QByteArray normal = api("GET", u"types"_s).body;
    m_server->service().addFailure(failure);

    QElapsedTimer clock;
    clock.start();
    const TestHttpReply reply = api("GET", u"types"_s, {}, hangs ? 500 : 10000);
    QCOMPARE(reply.timedOut, hangs);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("content-type"), contentType);
    QCOMPARE(reply.body, body.isEmpty() && status == 200 ? normal : body);
    QCOMPARE(reply.error != QNetworkReply::NoError, cutShort || status == 0);
    if (failure.kind == FailureRule::Kind::Delay)
        QVERIFY(clock.elapsed() >= failure.delayMs);

    // One failure by default: the next answer is the normal one again.
    const TestHttpReply next = api("GET", u"types"_s);
    QCOMPARE(next.status, 200);
    QCOMPARE(next.body, normal);
}

void tst_ServiceHooks::rulesMatchMethodPathAndCount()
{
    const QByteArray body
        = R"({"id":"R-1","typeId":"5E6A1C00-0000-4000-8000-000000000001","status":"running","start":1})";
    FailureRule posts = rule(FailureRule::Kind::Answer, u"activities"_s, 502);
    posts.method = u"POST"_s;
    posts.count = 2;
    m_server->service().addFailure(posts);

    QCOMPARE(api("GET", u"activities"_s).status, 200); // another method
    QCOMPARE(api("POST", u"activities"_s, body).status, 502);
    QCOMPARE(api("POST", u"activities"_s, body).status, 502);
    // The failed answers stored nothing: the id is still free.
    QCOMPARE(api("POST", u"activities"_s, body).status, 201);

    // A trailing "*" matches every activity, but not the collection; extra slashes do not matter.
    m_server->service().addFailure(rule(FailureRule::Kind::Answer, u"/activities/*"_s, 500));
    QCOMPARE(api("GET", u"activities"_s).status, 200);
    QCOMPARE(api("PUT", u"activities/R-1"_s, body).status, 500);
    QCOMPARE(api("PUT", u"activities/R-1"_s, body).status, 200);

    // The token endpoint is named without the API prefix, and matched behind any slashes.
    m_server->service().addFailure(rule(FailureRule::Kind::Answer, u"oauth/token"_s, 503));
    QCOMPARE(m_http->sendRaw("POST", "//oauth/token?grant_type=refresh_token&refresh_token=x").status, 503);

    // A count of 0 fails until the rules are cleared; the first matching rule wins.
    FailureRule always = rule(FailureRule::Kind::Answer, u"types"_s, 500);
    always.count = 0;
    m_server->service().addFailure(always);
    m_server->service().addFailure(rule(FailureRule::Kind::Answer, u"types"_s, 418));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(api("GET", u"types"_s).status, 500);
    m_server->service().clearFailures();
    QCOMPARE(api("GET", u"types"_s).status, 200);
}

void tst_ServiceHooks::requestLogRecordsWhatCameOverTheWire()
{
    m_server->service().clearRequests();
    m_server->service().addFailure(rule(FailureRule::Kind::Answer, u"types"_s, 503));
    m_server->service().addFailure(rule(FailureRule::Kind::Close, u"activities"_s));

    m_http->sendRaw("GET", "//oauth/token?grant_type=password&username=a%40b&password=p+q", {},
                    {TestHttp::basic(u"androidClient"_s, u"wombat"_s), {"X-Extra", "1"}});
    api("GET", u"types"_s);
    api("GET", u"activities"_s);
    api("PUT", u"activities/NOPE"_s, "{}");
    m_http->sendRaw("GET", "/__test/requests");

    const QList<RecordedRequest> log = m_server->service().requests();
    QCOMPARE(log.size(), 4); // the hook itself is not recorded
    QCOMPARE(log[0].method, u"GET"_s);
    QCOMPARE(log[0].path, u"//oauth/token"_s);
    QCOMPARE(log[0].query, u"grant_type=password&username=a%40b&password=p+q"_s);
    QCOMPARE(log[0].headers.value(u"x-extra"_s), u"1"_s);
    QVERIFY(log[0].headers.value(u"authorization"_s).startsWith("Basic "_L1));
    QCOMPARE(log[0].status, 400); // the user does not exist
    QCOMPARE(log[1].status, 503); // a failure rule's answer
    QCOMPARE(log[2].status, 0); // closed without an answer
    QCOMPARE(log[3].method, u"PUT"_s);
    QCOMPARE(log[3].path, u"/oauth/api/activities/NOPE"_s);
    QCOMPARE(log[3].body, QByteArray("{}"));
    QCOMPARE(log[3].status, 400);

    m_server->service().clearRequests();
    QVERIFY(m_server->service().requests().isEmpty());
}

void tst_ServiceHooks::hooksOverHttp()
{
    TestHttp &http = *m_http;
    const Header json = TestHttp::json();

    // A failure rule as JSON.
    const TestHttpReply added = http.send(
        "POST", u"__test/failures"_s,
        R"({"kind":"answer","path":"types","status":500,"contentType":"text/plain","body":"boom","count":1})", {json});
    QCOMPARE(added.status, 201);
    QCOMPARE(added.object().value("path"_L1).toString(), u"types"_s);
    QCOMPARE(http.send("GET", u"__test/failures"_s).array().size(), 1);
    const TestHttpReply failed = api("GET", u"types"_s);
    QCOMPARE(failed.status, 500);
    QCOMPARE(failed.header("content-type"), QByteArray("text/plain"));
    QCOMPARE(failed.body, QByteArray("boom"));

    QCOMPARE(http.send("POST", u"__test/failures"_s, R"({"kind":"close","path":"types","count":0})", {json}).status,
             201);
    QCOMPARE(http.send("DELETE", u"__test/failures"_s).status, 204);
    QCOMPARE(api("GET", u"types"_s).status, 200);

    // Bad rules are refused with a reason.
    for (const QByteArray &bad : {QByteArray(R"({"kind":"explode","path":"types"})"), QByteArray(R"({"kind":"close"})"),
                                  QByteArray("not json")}) {
        const TestHttpReply refused = http.send("POST", u"__test/failures"_s, bad, {json});
        QCOMPARE(refused.status, 400);
        QCOMPARE(refused.object().value("error"_L1).toString(), u"invalid_request"_s);
    }

    // Expiry of every access token.
    QCOMPARE(http.send("POST", u"__test/expire-tokens"_s).status, 204);
    const TestHttpReply expired = api("GET", u"types"_s);
    QCOMPARE(expired.status, 401);
    QCOMPARE(expired.object().value("error_description"_L1).toString(), u"Access token expired: "_s + m_token);

    // The request log, which leaves out the hooks.
    const QJsonArray log = http.send("GET", u"__test/requests"_s).array();
    QVERIFY(!log.isEmpty());
    const QJsonObject last = log.last().toObject();
    QCOMPARE(last.value("path"_L1).toString(), u"/oauth/api/types"_s);
    QCOMPARE(last.value("status"_L1).toInt(), 401);
    QCOMPARE(last.value("headers"_L1).toObject().value("authorization"_L1).toString(), u"Bearer "_s + m_token);
    for (const QJsonValue &entry : log)
        QVERIFY(!entry.toObject().value("path"_L1).toString().contains("__test"_L1));
    QCOMPARE(http.send("DELETE", u"__test/requests"_s).status, 204);
    QCOMPARE(http.send("GET", u"__test/requests"_s).array(), QJsonArray());

    // Accounts for tests that run the service as a separate process.
    QCOMPARE(http.send("POST", u"__test/users"_s, R"({"email":"bo@zorvel.test","password":"pw"})", {json}).status, 204);
    QCOMPARE(http.send("GET", u"oauth/token?grant_type=password&username=bo@zorvel.test&password=pw"_s, {},
                       {TestHttp::basic(u"androidClient"_s, u"wombat"_s)})
                 .status,
             200);
    QCOMPARE(http.send("POST", u"__test/users"_s, R"({"email":"bo@zorvel.test","password":"pw"})", {json}).status, 400);

    QCOMPARE(http.send("GET", u"__test/nothing"_s).status, 404);
}

void tst_ServiceHooks::hooksNeedTheTestFlag()
{
    ServiceOptions options = TestService::defaultOptions();
    options.testHooks = false;
    TestService server(options);
    TestHttp http(server.baseUrl());
    for (const QByteArray &method : {QByteArray("GET"), QByteArray("DELETE")}) {
        const TestHttpReply reply = http.send(method, u"__test/requests"_s);
        QCOMPARE(reply.status, 404);
        QCOMPARE(reply.object().value("error"_L1).toString(), u"not_found"_s);
    }
    QCOMPARE(http.send("POST", u"__test/expire-tokens"_s).status, 404);
    // Nothing is kept of the requests either: a long-running service must not grow.
    QVERIFY(server->requests().isEmpty());
}

QTEST_GUILESS_MAIN(tst_ServiceHooks)
#include "tst_ServiceHooks.moc"
