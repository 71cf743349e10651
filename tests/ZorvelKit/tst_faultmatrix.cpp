// The client against every way the service's answers can go wrong: dropped
// connections, slow and malformed answers, refusals, TLS and a crowd of requests.
#include "tst_zvclient_fixture.h"

#include "HTTPTask.h"

#include <QNetworkReply>
#include <QSslCertificate>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace ClientFixture;

namespace {

enum class TokenAfter { Unchanged, Refreshed };

struct Fault
{
    QList<FailureRule> rules;
    bool expireTokens = false;
};

FailureRule rule(FailureRule::Kind kind, const QString &path, int status = 200, const QByteArray &body = {},
                 const QByteArray &contentType = "application/json", int count = 1)
{
    FailureRule r;
    r.kind = kind;
    r.path = path;
    r.status = status;
    r.body = body;
    r.contentType = contentType;
    r.count = count;
    return r;
}

FailureRule answer(const QString &path, int status, const QByteArray &body,
                   const QByteArray &contentType = "application/json")
{
    return rule(FailureRule::Kind::Answer, path, status, body, contentType);
}

// What one types request handed to its handler.
struct TypesCall
{
    int count = 0;
    std::optional<QList<ActivityTypePtr>> types;
    std::optional<Error> error;

    ZVClient::TypesHandler handler()
    {
        return [this](const std::optional<QList<ActivityTypePtr>> &t, const std::optional<Error> &e) {
            ++count;
            types = t;
            error = e;
        };
    }
    int status() const
    {
        const QVariant response = error ? error->userInfo().value(HTTPResponseSerializerResponseKey) : QVariant();
        return response.canConvert<HTTPURLResponse>() ? response.value<HTTPURLResponse>().statusCode() : 0;
    }
};

QString fixture(const char *name)
{
    return QFINDTESTDATA(QString::fromLatin1("../fixtures/tls/") + QLatin1StringView(name));
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(TokenAfter)

class TestFaultMatrix : public QObject
{
    Q_OBJECT

    TestEnvironment m_environment;
    ZVClient &client = ZVClient::sharedInstance();

    // The stored token must be the one given, or a fresh one that the service accepts.
    void verifyStoredToken(TestService &server, const ZVTokenPtr &before, TokenAfter expected)
    {
        const ZVTokenPtr now = ZVCredentialStorage::sharedCredentialStorage().token();
        QVERIFY(now);
        QCOMPARE(now->refreshToken(), before->refreshToken());
        if (expected == TokenAfter::Unchanged) {
            QCOMPARE(now->accessToken(), before->accessToken());
            return;
        }
        QVERIFY(now->accessToken() != before->accessToken());
        TestHttp http(server.baseUrl());
        const TestHttpReply check
            = http.send("GET", u"oauth/api/types"_s, {}, {TestHttp::bearer(now->accessToken().value_or(QString()))});
        QCOMPARE(check.status, 200);
    }

private slots:
    void initTestCase()
    {
        useApplicationName("tst_faultmatrix");
        QVERIFY(m_environment.isValid());
    }
    void cleanup()
    {
        client.logout();
        ZVClient::setBaseURLForTesting(QString());
    }

    void faults_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("domain"); // of the error handed over
        QTest::addColumn<qint64>("code");
        QTest::addColumn<int>("status"); // of the answer in the error; 0: none in it
        QTest::addColumn<TokenAfter>("tokenAfter");

        using Kind = FailureRule::Kind;
        const QString types = u"types"_s;
        const QString net = HTTPNetworkErrorDomain;
        const QString decoder = HTTPResponseSerializerErrorDomain;
        const qint64 unacceptable = HTTPJSONResponseSerializer::UnacceptableStatusCode;
        const QByteArray list = R"([{"id":"T1","name":"Mail","order":1},{"id":"T2","name":"Break","order":2}])";

        // The network stack resends a GET once when the connection closes before any answer.
        QTest::newRow("closed before the answer")
            << Fault {{rule(Kind::Close, types, 200, {}, "application/json", 2)}} << net
            << qint64(QNetworkReply::RemoteHostClosedError) << 0 << TokenAfter::Unchanged;
        QTest::newRow("closed in the middle of the body")
            << Fault {{rule(Kind::CloseMidBody, types, 200, list, "application/json", 2)}} << net
            << qint64(QNetworkReply::RemoteHostClosedError) << 0 << TokenAfter::Unchanged;
        FailureRule slow = rule(Kind::Delay, types);
        slow.delayMs = 2000;
        QTest::newRow("answer slower than the time-out")
            << Fault {{slow}} << net << qint64(QNetworkReply::TimeoutError) << 0 << TokenAfter::Unchanged;
        // A body that passed the checks but does not decode carries no answer.
        QTest::newRow("truncated JSON body")
            << Fault {{answer(types, 200, list.left(list.size() / 2))}} << decoder
            << qint64(HTTPJSONResponseSerializer::InvalidJSON) << 0 << TokenAfter::Unchanged;
        QTest::newRow("2xx with the wrong content type")
            << Fault {{answer(types, 200, list, "text/html")}} << decoder
            << qint64(HTTPJSONResponseSerializer::UnacceptableContentType) << 200 << TokenAfter::Unchanged;
        QTest::newRow("401 without a body")
            << Fault {{answer(types, 401, {})}} << decoder << unacceptable << 401 << TokenAfter::Unchanged;
        QTest::newRow("401 with HTML") << Fault {{answer(types, 401, "<html><body>Unauthorized</body></html>",
                                                         "text/html")}}
                                       << decoder << unacceptable << 401 << TokenAfter::Unchanged;
        QTest::newRow("401 OAuth body an array")
            << Fault {{answer(types, 401, R"(["invalid_token","Access token expired: x"])")}} << decoder << unacceptable
            << 401 << TokenAfter::Unchanged;
        QTest::newRow("401 OAuth body a string") << Fault {{answer(types, 401, R"("invalid_token")")}} << decoder
                                                 << unacceptable << 401 << TokenAfter::Unchanged;
        QTest::newRow("401 OAuth body null")
            << Fault {{answer(types, 401, "null")}} << decoder << unacceptable << 401 << TokenAfter::Unchanged;
        QTest::newRow("401 OAuth error not a string")
            << Fault {{answer(types, 401, R"({"error":["invalid_token"],"error_description":"Access token expired"})")}}
            << decoder << unacceptable << 401 << TokenAfter::Unchanged;
        QTest::newRow("refresh answers 500")
            << Fault {{answer(u"oauth/token"_s, 500, R"({"error":"server_error"})")}, true} << decoder << unacceptable
            << 500 << TokenAfter::Unchanged;
        QTest::newRow("refresh closes before the answer")
            << Fault {{rule(Kind::Close, u"oauth/token"_s, 200, {}, "application/json", 2)}, true} << net
            << qint64(QNetworkReply::RemoteHostClosedError) << 0 << TokenAfter::Unchanged;
        QTest::newRow("expired; refreshed and replayed")
            << Fault {{}, true} << QString() << qint64(0) << 0 << TokenAfter::Refreshed;
    }
    void faults()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, domain);
        QFETCH(qint64, code);
        QFETCH(int, status);
        QFETCH(TokenAfter, tokenAfter);

        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl(), 500);
        const ZVTokenPtr stored = storeTokens(server.demoTokens());
        if (fault.expireTokens)
            server->expireAllAccessTokens();
        for (const FailureRule &r : std::as_const(fault.rules))
            server->addFailure(r);

        TypesCall call;
        client.getTypesWithHandler(call.handler());
        QTRY_COMPARE_WITH_TIMEOUT(call.count, 1, 15000);
        QTest::qWait(2500); // past every delayed answer and time-out, to catch a second call
        QCOMPARE(call.count, 1);

        verifyStoredToken(server, stored, tokenAfter);
        if (domain.isEmpty()) {
            QVERIFY2(!call.error, qPrintable(call.error ? call.error->fullDescription() : QString()));
            QVERIFY(call.types && !call.types->isEmpty());
            return;
        }
        QVERIFY(call.error);
        QVERIFY(!call.types);
        QCOMPARE(call.error->domain(), domain);
        QCOMPARE(call.error->code(), code);
        QCOMPARE(call.status(), status);
        QVERIFY(!call.error->localizedDescription().isEmpty()); // what a screen shows
        QCOMPARE(call.error->userInfo().contains(HTTPResponseSerializerResponseKey), status != 0);
    }

    // A certificate nobody vouches for is refused before any request is sent,
    // and the error carries no answer.
    void selfSignedServiceIsRefused()
    {
        const QString certificate = fixture("self-signed-cert.pem");
        const QString key = fixture("self-signed-key.pem");
        QVERIFY(!certificate.isEmpty() && !key.isEmpty());
        QCOMPARE(QSslCertificate::fromPath(certificate).size(), 1);
        ServiceOptions options = TestService::defaultOptions();
        options.tlsCertificateFile = certificate;
        options.tlsKeyFile = key;
        TestService server(options);
        QVERIFY(server.baseUrl().startsWith(u"https://"_s));
        ZVClient::setBaseURLForTesting(server.baseUrl(), 5000);
        const ZVTokenPtr stored = storeTokens(server.demoTokens());

        TypesCall call;
        client.getTypesWithHandler(call.handler());
        QTRY_COMPARE_WITH_TIMEOUT(call.count, 1, 15000);
        QTest::qWait(100);
        QCOMPARE(call.count, 1);
        QVERIFY(call.error);
        QCOMPARE(call.error->domain(), HTTPNetworkErrorDomain);
        QCOMPARE(call.error->code(), qint64(QNetworkReply::SslHandshakeFailedError));
        QVERIFY(!call.error->userInfo().contains(HTTPResponseSerializerResponseKey));
        QVERIFY(!call.error->userInfo().contains(HTTPResponseSerializerDataKey));
        QVERIFY(!call.error->userInfo().contains(JSONResponseSerializerWithDataKey));
        QVERIFY(server->requests().isEmpty());
        verifyStoredToken(server, stored, TokenAfter::Unchanged);
    }

    // Twenty requests refused at once for an expired token each recover on
    // their own: every handler once, with the types, and a working token stored.
    void twentyExpiredAtOnce()
    {
        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl(), 10000);
        const ZVTokenPtr stored = storeTokens(server.demoTokens());
        server->expireAllAccessTokens();

        constexpr int kRequests = 20;
        QList<TypesCall> calls(kRequests);
        for (TypesCall &call : calls)
            client.getTypesWithHandler(call.handler());
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(calls.cbegin(), calls.cend(), [](const TypesCall &c) { return c.count; }),
                                 30000);
        QTest::qWait(100);
        for (qsizetype i = 0; i < calls.size(); ++i) {
            const TypesCall &call = calls.at(i);
            QCOMPARE(call.count, 1);
            QVERIFY2(
                !call.error,
                qPrintable(u"request %1: %2"_s.arg(i).arg(call.error ? call.error->fullDescription() : QString())));
            QVERIFY(call.types && !call.types->isEmpty());
        }
        // Each request made its one round: refusal, refresh, replay.
        QCOMPARE(server->requests().size(), 3 * kRequests);
        verifyStoredToken(server, stored, TokenAfter::Refreshed);
    }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
