// The activities screen under the service's faults: each shows its error in
// place of the collection, and one Reload once the service is well clears it.
#include "ActivitiesController.h"
#include "TestSupport.h"
#include "ZVClient.h"
#include "ZVCredentialStorage.h"

#include <QApplication>
#include <QNetworkReply>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 15000;

struct Fault
{
    FailureRule rule;
    bool expireTokens = false;
};

FailureRule rule(FailureRule::Kind kind, const QString &path, int status, const QByteArray &body,
                 const QByteArray &contentType = "application/json", int count = 1)
{
    FailureRule r;
    r.kind = kind;
    r.path = path;
    r.method = u"GET"_s;
    r.status = status;
    r.body = body;
    r.contentType = contentType;
    r.count = count;
    return r;
}

struct NoLogout final : ActivitiesControllerDelegate
{
    int calls = 0;
    void didLogoutSuccessfully() override { ++calls; }
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestFaultMatrixScreen : public QObject
{
    Q_OBJECT

    TestEnvironment m_environment;

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationDomain(u"zorvel.org"_s);
        QCoreApplication::setApplicationName(u"tst_faultmatrix_screen"_s);
        QVERIFY(m_environment.isValid());
    }
    void cleanup()
    {
        ZVCredentialStorage::sharedCredentialStorage().removeToken();
        ZVClient::setBaseURLForTesting(QString());
    }

    void errorShownAndReloadClears_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("shown"); // empty: whatever the network stack says, as long as it is something

        using Kind = FailureRule::Kind;
        const QByteArray list = R"([{"id":"A1","typeId":"T1","comment":"x","status":"running","start":1})";
        QTest::newRow("closed before the answer")
            << Fault {rule(Kind::Close, u"types"_s, 200, {}, "application/json", 2)} << QString();
        FailureRule slow = rule(Kind::Delay, u"activities"_s, 200, {});
        slow.delayMs = 2000;
        QTest::newRow("answer slower than the time-out") << Fault {slow} << u"The request timed out."_s;
        QTest::newRow("truncated JSON body")
            << Fault {rule(Kind::Answer, u"activities"_s, 200, list)}
            << u"The data couldn't be read because it isn't valid JSON (unterminated array)."_s;
        QTest::newRow("2xx with the wrong content type")
            << Fault {rule(Kind::Answer, u"types"_s, 200, "[]", "text/plain")}
            << u"Request failed: unacceptable content-type: text/plain"_s;
        QTest::newRow("401 with HTML") << Fault {rule(Kind::Answer, u"activities"_s, 401, "<html></html>", "text/html")}
                                       << u"Request failed: unauthorized (401)"_s;
        FailureRule refresh = rule(Kind::Answer, u"oauth/token"_s, 500, R"({"error":"server_error"})");
        refresh.method.clear();
        QTest::newRow("refresh answers 500")
            << Fault {refresh, true} << u"Request failed: internal server error (500)"_s;
    }
    void errorShownAndReloadClears()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, shown);

        TestService server;
        ZVClient::setBaseURLForTesting(server.baseUrl(), 500);
        const auto tokens = server.demoTokens();
        auto token = std::make_shared<ZVToken>();
        token->setAccessToken(tokens.accessToken);
        token->setRefreshToken(tokens.refreshToken);
        ZVCredentialStorage::sharedCredentialStorage().storeToken(token);
        if (fault.expireTokens)
            server->expireAllAccessTokens();
        server->addFailure(fault.rule);

        NoLogout delegate;
        ActivitiesController controller(Rect {0, 0, 320, 399});
        controller.setDelegate(&delegate);
        controller.view()->show();
        QTRY_VERIFY_WITH_TIMEOUT(!controller.loadingView(), kWait);
        const QString text = controller.errorTextView()->string();
        if (shown.isEmpty())
            QVERIFY(!text.isEmpty());
        else
            QCOMPARE(text, shown);
        QVERIFY(controller.collectionView()->isHidden());
        QVERIFY(controller.reloadButton()->isVisible());
        // The late answer of a slow row must not overwrite the screen afterwards.
        QTest::qWait(2500);
        QCOMPARE(controller.errorTextView()->string(), text);

        QTest::mouseClick(controller.reloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!controller.loadingView(), kWait);
        QVERIFY2(controller.errorTextView()->string().isEmpty(), qPrintable(controller.errorTextView()->string()));
        QVERIFY(controller.collectionView()->isVisible());
        QVERIFY(!controller.activities().isEmpty());
        QVERIFY(!controller.activityTypes().isEmpty());
        QCOMPARE(delegate.calls, 0);
        // Still signed in with the same refresh token.
        const ZVTokenPtr now = ZVCredentialStorage::sharedCredentialStorage().token();
        QVERIFY(now);
        QCOMPARE(now->refreshToken(), tokens.refreshToken);
    }
};

QTEST_MAIN(TestFaultMatrixScreen)
#include "tst_faultmatrix_screen.moc"
