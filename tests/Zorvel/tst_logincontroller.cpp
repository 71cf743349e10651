// The login screen: its controls and frames, validation, keyboard use, and
// sign-in against the reference service with the token in the keyring.
#include "BackgroundView.h"
#include "Geometry.h"
#include "LoginController.h"
#include "PushButton.h"
#include "SecureTextField.h"
#include "TextField.h"
#include "TextView.h"
#include "TimeLoggingService.h"
#include "ZVClient.h"
#include "ZVCredentialStorage.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

char *toString(const Rect &rect)
{
    return qstrdup(rect.toString().toUtf8().constData());
}

namespace {
const Rect kScreenFrame {0, 0, 320, 399};

class CountingDelegate final : public LoginControllerDelegate
{
public:
    int logins = 0;
    void didLoginSuccessfully() override { ++logins; }
};

// A screen with its view built, shown and active, so that keys and focus behave as in the panel.
struct Screen
{
    CountingDelegate delegate;
    LoginController controller {kScreenFrame};
    Screen()
    {
        controller.setDelegate(&delegate);
        controller.view()->show();
    }
    void fill(const QString &email, const QString &password)
    {
        controller.emailField()->setStringValue(email);
        controller.passwordField()->setStringValue(password);
    }
    QString message() const { return controller.errorTextView()->string(); }
};
} // namespace

class tst_LoginController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void frames_data();
    void frames();
    void controlsAndKeyboard();
    void validation_data();
    void validation();
    void signInStoresTokenAndTellsDelegateOnce();
    void failureShowsDescriptionAndStoresNothing_data();
    void failureShowsDescriptionAndStoresNothing();
    void secondAttemptClearsOldMessageFirst();
    void answerWithoutRefreshToken();
    void renderScreens();

private:
    std::unique_ptr<TimeLoggingService> m_service;
};

void tst_LoginController::initTestCase()
{
    QCoreApplication::setOrganizationDomain(u"zorvel.org"_s);
    QCoreApplication::setApplicationName(u"tst_logincontroller"_s);
    ServiceOptions options;
    options.port = 0;
    options.testHooks = true;
    m_service = std::make_unique<TimeLoggingService>(options);
    QString error;
    QVERIFY2(m_service->start(&error), qPrintable(error));
    ZVClient::setBaseURLForTesting(m_service->baseUrl());
}

void tst_LoginController::init()
{
    ZVCredentialStorage::sharedCredentialStorage().removeToken();
    m_service->clearFailures();
    m_service->clearRequests();
}

void tst_LoginController::frames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Rect>("frame");
    QTest::newRow("email") << u"emailField"_s << Rect {60, 319, 200, 30};
    QTest::newRow("password") << u"passwordField"_s << Rect {60, 269, 200, 30};
    QTest::newRow("button") << u"loginButton"_s << Rect {60, 219, 200, 30};
    QTest::newRow("error area") << u"errorTextView"_s << Rect {60, 40, 200, 80};
}

void tst_LoginController::frames()
{
    QFETCH(QString, name);
    LoginController controller(kScreenFrame);
    auto *control = controller.view()->findChild<QWidget *>(name);
    QVERIFY(control);
    QTEST(Geometry::frame(control), "frame");
}

void tst_LoginController::controlsAndKeyboard()
{
    Screen screen;
    LoginController &c = screen.controller;
    QCOMPARE(c.emailField()->placeholderString(), u"Email"_s);
    QCOMPARE(c.passwordField()->placeholderString(), u"Password"_s);
    QCOMPARE(c.passwordField()->echoMode(), QLineEdit::Password);
    QCOMPARE(c.loginButton()->title(), u"Login"_s);
    QVERIFY(c.errorTextView()->string().isEmpty());
    QVERIFY(c.errorTextView()->alignment() & Qt::AlignHCenter);
    for (QWidget *control : QList<QWidget *> {c.emailField(), c.passwordField(), c.loginButton(), c.errorTextView()})
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));

    QWidget *view = c.view();
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
    c.emailField()->setFocus();
    QTest::keyClick(view->windowHandle(), Qt::Key_Tab);
    QVERIFY(c.passwordField()->hasFocus());
    QTest::keyClick(view->windowHandle(), Qt::Key_Tab);
    QVERIFY(c.loginButton()->hasFocus());

    // Return in a field acts as the button: here it meets the validation.
    QTest::keyClick(c.passwordField(), Qt::Key_Return);
    QCOMPARE(screen.message(), kLoginValidationMessage);
}

void tst_LoginController::validation_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::newRow("empty email") << QString() << u"demo"_s;
    QTest::newRow("empty password") << TimeLoggingService::demoEmail << QString();
    QTest::newRow("both empty") << QString() << QString();
}

void tst_LoginController::validation()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    Screen screen;
    screen.controller.errorTextView()->setString(u"an earlier message"_s);
    screen.fill(email, password);

    screen.controller.loginButton()->click();
    QCOMPARE(screen.message(), kLoginValidationMessage);
    QVERIFY(!screen.controller.loadingView());
    QCOMPARE(screen.controller.emailField()->stringValue(), email);
    QCOMPARE(screen.controller.passwordField()->stringValue(), password);
    QTest::qWait(50);
    QVERIFY(m_service->requests().isEmpty());
}

void tst_LoginController::signInStoresTokenAndTellsDelegateOnce()
{
    Screen screen;
    screen.fill(TimeLoggingService::demoEmail, TimeLoggingService::demoPassword);
    const QDateTime before = QDateTime::currentDateTimeUtc();
    screen.controller.loginButton()->click();
    QVERIFY(screen.controller.loadingView());

    QTRY_COMPARE(screen.delegate.logins, 1);
    const QDateTime after = QDateTime::currentDateTimeUtc();
    QVERIFY(!screen.controller.loadingView());
    QVERIFY(screen.message().isEmpty());

    const ZVTokenPtr token = ZVCredentialStorage::sharedCredentialStorage().token();
    QVERIFY(token);
    QVERIFY(token->accessToken() && !token->accessToken()->isEmpty());
    QVERIFY(token->refreshToken() && !token->refreshToken()->isEmpty());
    QVERIFY(token->expiresAt());
    // The archive keeps whole seconds or finer; allow for either.
    QVERIFY(token->expiresAt()->secsTo(before.addSecs(3600)) <= 1);
    QVERIFY(after.addSecs(3600).secsTo(*token->expiresAt()) <= 1);

    QCOMPARE(m_service->requests().size(), 1);
    QTest::qWait(100);
    QCOMPARE(screen.delegate.logins, 1);
}

void tst_LoginController::failureShowsDescriptionAndStoresNothing_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong password") << u"not-the-password"_s;
    // Passes the check (it is not empty) and goes out as typed.
    QTest::newRow("only spaces") << u"   "_s;
}

void tst_LoginController::failureShowsDescriptionAndStoresNothing()
{
    QFETCH(QString, password);
    Screen screen;
    screen.fill(TimeLoggingService::demoEmail, password);
    screen.controller.loginButton()->click();

    QTRY_COMPARE(screen.message(), u"Request failed: bad request (400)"_s);
    QVERIFY(!screen.controller.loadingView());
    QCOMPARE(screen.delegate.logins, 0);
    QVERIFY(!ZVCredentialStorage::sharedCredentialStorage().token());
    QCOMPARE(screen.controller.emailField()->stringValue(), TimeLoggingService::demoEmail);
    QCOMPARE(screen.controller.passwordField()->stringValue(), password);

    const QList<RecordedRequest> requests = m_service->requests();
    QCOMPARE(requests.size(), 1);
    const QUrlQuery query(requests.first().query);
    QCOMPARE(query.queryItemValue(u"username"_s, QUrl::FullyDecoded), TimeLoggingService::demoEmail);
    QCOMPARE(query.queryItemValue(u"password"_s, QUrl::FullyDecoded), password);
}

void tst_LoginController::secondAttemptClearsOldMessageFirst()
{
    Screen screen;
    screen.fill(TimeLoggingService::demoEmail, u"wrong"_s);
    screen.controller.loginButton()->click();
    QTRY_VERIFY(!screen.message().isEmpty());

    FailureRule slow;
    slow.kind = FailureRule::Kind::Delay;
    slow.path = u"oauth/token"_s;
    slow.delayMs = 300;
    m_service->addFailure(slow);
    screen.controller.passwordField()->setStringValue(TimeLoggingService::demoPassword);
    screen.controller.loginButton()->click();
    // While the request runs: no old message under the overlay.
    QVERIFY(screen.message().isEmpty());
    QVERIFY(screen.controller.loadingView());
    QTest::qWait(100);
    QVERIFY(screen.message().isEmpty());

    QTRY_COMPARE(screen.delegate.logins, 1);
    QVERIFY(screen.message().isEmpty());
}

void tst_LoginController::answerWithoutRefreshToken()
{
    FailureRule answer;
    answer.kind = FailureRule::Kind::Answer;
    answer.path = u"oauth/token"_s;
    answer.status = 200;
    answer.body = R"({"access_token":"only-access","token_type":"bearer","expires_in":3600})";
    m_service->addFailure(answer);

    Screen screen;
    screen.fill(TimeLoggingService::demoEmail, TimeLoggingService::demoPassword);
    screen.controller.loginButton()->click();
    QTRY_COMPARE(screen.delegate.logins, 1);

    const ZVTokenPtr token = ZVCredentialStorage::sharedCredentialStorage().token();
    QVERIFY(token);
    QCOMPARE(token->accessToken(), std::optional<QString>(u"only-access"_s));
    QVERIFY(!token->refreshToken());
}

// Pictures to look at, written only when ZORVEL_SCREENSHOT_DIR names a directory.
void tst_LoginController::renderScreens()
{
    const QString dir = qEnvironmentVariable("ZORVEL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("set ZORVEL_SCREENSHOT_DIR to write the screenshots");
    QVERIFY(QDir().mkpath(dir));

    Screen screen;
    screen.controller.emailField()->setStringValue(QString());
    screen.controller.passwordField()->setStringValue(u"secret"_s);
    screen.controller.loginButton()->click();
    QCOMPARE(screen.message(), kLoginValidationMessage);
    const QPixmap plain = screen.controller.view()->grab();
    QCOMPARE(plain.size(), QSize(320, 399));
    QVERIFY(plain.save(dir + u"/login.png"_s));
    screen.controller.showLoading();
    QVERIFY(screen.controller.view()->grab().save(dir + u"/login-loading.png"_s));
    screen.controller.hideLoading();

    // As in the panel: the screen on the body with its arrow, over a dark desktop.
    QWidget desktop;
    desktop.resize(360, 450);
    desktop.setAutoFillBackground(true);
    QPalette palette = desktop.palette();
    palette.setColor(QPalette::Window, QColor(0x2b, 0x30, 0x3b));
    desktop.setPalette(palette);
    auto *body = new BackgroundView(&desktop);
    Geometry::setFrame(body, Rect {20, 20, 320, 410});
    body->setArrowX(160);
    QWidget *view = screen.controller.view();
    view->setParent(body);
    Geometry::setFrame(view, kScreenFrame);
    QVERIFY(desktop.grab().save(dir + u"/login-panel.png"_s));

    view->hide();
    QVERIFY(desktop.grab().save(dir + u"/background.png"_s));
}

QTEST_MAIN(tst_LoginController)
#include "tst_logincontroller.moc"
