// The drop-down panel: where it opens and how fast, the arrow, the screen it
// shows, the ways it closes, and a reopening right after a close.
#include "ActivitiesController.h"
#include "BackgroundView.h"
#include "LoginController.h"
#include "PanelController.h"
#include "PanelGeometry.h"
#include "PushButton.h"
#include "SecureTextField.h"
#include "StatusItem.h"
#include "StatusItemView.h"
#include "TestService.h"
#include "TextField.h"
#include "TextView.h"
#include "ZVClient.h"
#include "ZVCredentialStorage.h"
#include "ZVPanel.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Rect)

char *toString(const Rect &rect)
{
    return qstrdup(rect.toString().toUtf8().constData());
}

namespace {
// A tray icon whose place on the screen the test decides.
class PlacedStatusItemView final : public StatusItemView
{
public:
    explicit PlacedStatusItemView(const Rect &rect)
        : StatusItemView(std::make_unique<StatusItem>(24))
        , m_rect(rect)
    { }
    Rect globalRect() const override { return m_rect; }

private:
    Rect m_rect;
};

class Delegate final : public PanelControllerDelegate
{
public:
    std::unique_ptr<StatusItemView> view;
    StatusItemView *statusItemViewForPanelController(PanelController *) override { return view.get(); }
};

// Toggles the panel as the tray's click does, so that the click is the
// current event while the panel opens.
class Toggler final : public QObject
{
    Q_OBJECT
public:
    PanelController *panel = nullptr;
    Q_INVOKABLE void togglePanel(QObject *) { panel->setHasActivePanel(!panel->hasActivePanel()); }
};

QRect primary()
{
    return QGuiApplication::primaryScreen()->geometry();
}
Rect screen()
{
    return PanelGeometry::screenFrame(primary());
}

// The offscreen platform warns on every step of a fade; that says nothing here.
QtMessageHandler g_testHandler = nullptr;
void dropPlatformNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(u"This plugin does not support"))
        g_testHandler(type, context, message);
}

QStringList g_log;
void captureLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "zorvel") == 0)
        g_log.append(message);
}

void waitUntilOpen(PanelController &controller)
{
    QTRY_VERIFY(!controller.animation());
    QCOMPARE(controller.window()->windowOpacity(), 1.0);
}

QWidget *shownScreen(PanelController &controller)
{
    const auto screens = controller.backgroundView()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    return screens.size() == 1 ? screens.first() : nullptr;
}
} // namespace

class tst_PanelController : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void placementAndArrow_data();
    void placementAndArrow();
    void openingDuration_data();
    void openingDuration();
    void settingTheSameValueDoesNothing();
    void screenChosenAtEachOpening();
    void screensAreCreatedOnceAndReused();
    void closesByItself_data();
    void closesByItself();
    void focusLossWhileHiddenChangesNothing();
    void reopeningKeepsThePanelOnScreen();

private:
    void storeToken();
    std::unique_ptr<TestService> m_service;
};

void tst_PanelController::initTestCase()
{
    QCoreApplication::setOrganizationDomain(u"zorvel.org"_s);
    QCoreApplication::setApplicationName(u"tst_panelcontroller"_s);
    g_testHandler = qInstallMessageHandler(dropPlatformNoise);
    m_service = std::make_unique<TestService>();
    ZVClient::setBaseURLForTesting(m_service->baseUrl());
}

void tst_PanelController::init()
{
    ZVCredentialStorage::sharedCredentialStorage().removeToken();
}

void tst_PanelController::cleanupTestCase()
{
    ZVCredentialStorage::sharedCredentialStorage().removeToken();
    ZVClient::setBaseURLForTesting(QString());
}

void tst_PanelController::storeToken()
{
    const auto pair = m_service->demoTokens();
    auto token = std::make_shared<ZVToken>();
    token->setAccessToken(pair.accessToken);
    token->setRefreshToken(pair.refreshToken);
    token->setExpiresAt(QDateTime::currentDateTimeUtc().addSecs(3600));
    ZVCredentialStorage::sharedCredentialStorage().storeToken(token);
    QVERIFY(ZVClient::sharedInstance().isLoggedIn());
}

void tst_PanelController::placementAndArrow_data()
{
    // The icon sits 22 points high along the top edge of whatever screen the
    // test runs on; x is counted from the screen's right edge.
    QTest::addColumn<bool>("hasView");
    QTest::addColumn<double>("iconFromRight"); // icon x = width - this
    QTest::addColumn<Rect>("status"); // with x counted from the right
    QTest::addColumn<double>("panelFromRight");
    QTest::addColumn<qint64>("arrow");

    QTest::newRow("icon well inside: centred, arrow 160")
        << true << 440.0 << Rect {440, 44, 24, 22} << 588.0 << qint64(160);
    QTest::newRow("icon centred 40 from the edge: kept 8 from it, arrow 288")
        << true << 52.0 << Rect {52, 44, 24, 22} << 328.0 << qint64(288);
    QTest::newRow("no status item view: centred on the screen") << false << 0.0 << Rect {} << 0.0 << qint64(160);
}

void tst_PanelController::placementAndArrow()
{
    QFETCH(bool, hasView);
    QFETCH(double, iconFromRight);
    QFETCH(Rect, status);
    QFETCH(double, panelFromRight);
    QFETCH(qint64, arrow);

    const Rect s = screen();
    Delegate delegate;
    Rect expectedStatus = PanelGeometry::statusRect(std::nullopt, s, 22);
    double expectedPanelX = roundHalfAwayFloat(expectedStatus.x + 12) - 160;
    if (hasView) {
        delegate.view = std::make_unique<PlacedStatusItemView>(Rect {s.width - iconFromRight, s.height - 22, 24, 22});
        expectedStatus = {s.width - status.x, s.height - status.y, status.width, status.height};
        expectedPanelX = s.width - panelFromRight;
    }
    PanelController controller(&delegate);
    QCOMPARE(controller.statusRectForWindow(controller.window()), expectedStatus);

    controller.setHasActivePanel(true);
    ZVPanel *panel = controller.window();
    // It starts as the rectangle under the icon, transparent, arrow on the icon.
    QCOMPARE(panel->geometry(), PanelGeometry::toQtScreen(expectedStatus, primary()));
    QCOMPARE(panel->windowOpacity(), 0.0);
    QCOMPARE(controller.backgroundView()->arrowX(), qint64(12));
    QVERIFY(panel->isVisible());

    waitUntilOpen(controller);
    const Rect open {expectedPanelX, s.height - 22 - 410, 320, 410};
    QCOMPARE(panel->geometry(), PanelGeometry::toQtScreen(open, primary()));
    QCOMPARE(panel->geometry().top(), primary().top() + 22);
    QCOMPARE(controller.backgroundView()->geometry(), QRect(0, 0, 320, 410));
    QCOMPARE(controller.backgroundView()->arrowX(), arrow);
    // The screen sits at the bottom-left corner; the 11 points above are the arrow's.
    QWidget *shown = shownScreen(controller);
    QVERIFY(shown);
    QCOMPARE(shown->geometry(), QRect(0, 11, 320, 399));
    QCOMPARE(Geometry::frame(shown), PanelGeometry::kChildBounds);
}

void tst_PanelController::openingDuration_data()
{
    QTest::addColumn<bool>("byClick");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("durationMs");
    QTest::addColumn<bool>("logs");

    QTest::newRow("click") << true << Qt::KeyboardModifiers() << 150 << false;
    QTest::newRow("Shift+click") << true << Qt::KeyboardModifiers(Qt::ShiftModifier) << 1500 << false;
    QTest::newRow("Shift+Alt+click") << true << (Qt::ShiftModifier | Qt::AltModifier) << 1500 << true;
    QTest::newRow("Shift+Control+click") << true << (Qt::ShiftModifier | Qt::ControlModifier) << 150 << false;
    QTest::newRow("not a click, Shift held") << false << Qt::KeyboardModifiers(Qt::ShiftModifier) << 150 << false;
}

void tst_PanelController::openingDuration()
{
    QFETCH(bool, byClick);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, durationMs);
    QFETCH(bool, logs);

    const Rect s = screen();
    Delegate delegate;
    delegate.view = std::make_unique<PlacedStatusItemView>(Rect {s.width - 440, s.height - 22, 24, 22});
    PanelController controller(&delegate);
    Toggler toggler;
    toggler.panel = &controller;
    delegate.view->setTarget(&toggler);
    delegate.view->setAction("togglePanel");

    g_log.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    if (byClick)
        delegate.view->mouseDown(modifiers);
    else
        controller.setHasActivePanel(true);
    qInstallMessageHandler(previous);

    QVERIFY(controller.hasActivePanel());
    QVERIFY(controller.animation());
    QCOMPARE(controller.animation()->duration(), durationMs);
    const QString line = u"Icon is at {{%1, %2}, {24, 22}}\n\tMenu is on screen {{0, 0}, {%3, %4}}\n\t"
                         u"Will be animated to {{%5, %6}, {320, 410}}"_s.arg(s.width - 440)
                             .arg(s.height - 44)
                             .arg(s.width)
                             .arg(s.height)
                             .arg(s.width - 588)
                             .arg(s.height - 432);
    QCOMPARE(g_log, logs ? QStringList {line} : QStringList {});
}

void tst_PanelController::settingTheSameValueDoesNothing()
{
    Delegate delegate;
    PanelController controller(&delegate);
    QSignalSpy changed(&controller, &PanelController::hasActivePanelChanged);

    controller.setHasActivePanel(false);
    QCOMPARE(changed.count(), 1); // told of every set
    QVERIFY(!controller.isWindowLoaded());

    controller.setHasActivePanel(true);
    QAbstractAnimation *opening = controller.animation();
    controller.setHasActivePanel(true);
    QCOMPARE(controller.animation(), opening);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.last().at(0).toBool(), true);
}

void tst_PanelController::screenChosenAtEachOpening()
{
    Delegate delegate;
    PanelController controller(&delegate);

    controller.setHasActivePanel(true);
    QVERIFY(controller.loginController());
    QVERIFY(!controller.activitiesController());
    QCOMPARE(shownScreen(controller), controller.loginController()->view());
    controller.setHasActivePanel(false);

    // Signed in meanwhile (elsewhere): the next opening asks again.
    storeToken();
    controller.setHasActivePanel(true);
    QVERIFY(controller.activitiesController());
    QCOMPARE(shownScreen(controller), controller.activitiesController()->view());
    QVERIFY(!controller.loginController()->view()->isVisible());
    controller.setHasActivePanel(false);

    ZVCredentialStorage::sharedCredentialStorage().removeToken();
    controller.setHasActivePanel(true);
    QCOMPARE(shownScreen(controller), controller.loginController()->view());
}

void tst_PanelController::screensAreCreatedOnceAndReused()
{
    Delegate delegate;
    PanelController controller(&delegate);
    controller.window();
    QCOMPARE(controller.childBounds(), (Rect {0, 0, 320, 399}));

    controller.didLogoutSuccessfully();
    LoginController *login = controller.loginController();
    QCOMPARE(login->delegate(), &controller);
    QCOMPARE(login->zvFrame(), controller.childBounds());
    QWidget *loginView = login->view();
    controller.didLoginSuccessfully();
    ActivitiesController *activities = controller.activitiesController();
    QCOMPARE(activities->delegate(), &controller);
    QWidget *activitiesView = activities->view();
    QCOMPARE(shownScreen(controller), activitiesView);

    controller.didLogoutSuccessfully();
    controller.didLoginSuccessfully();
    QCOMPARE(controller.loginController(), login);
    QCOMPARE(controller.activitiesController(), activities);
    QCOMPARE(activities->view(), activitiesView);
    QCOMPARE(shownScreen(controller), activitiesView);
    controller.didLogoutSuccessfully();
    QCOMPARE(login->view(), loginView);
    QCOMPARE(shownScreen(controller), loginView);

    // Nothing else is ever left in the background view.
    controller.cleanSubviews();
    QCOMPARE(shownScreen(controller), nullptr);
    QVERIFY(!loginView->parentWidget());
}

void tst_PanelController::closesByItself_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Escape") << 0;
    QTest::newRow("loss of focus") << 1;
    QTest::newRow("a click outside") << 2;
    QTest::newRow("the window closes") << 3;
}

void tst_PanelController::closesByItself()
{
    QFETCH(int, how);
    Delegate delegate;
    PanelController controller(&delegate);
    controller.setHasActivePanel(true);
    waitUntilOpen(controller);
    ZVPanel *panel = controller.window();
    QSignalSpy changed(&controller, &PanelController::hasActivePanelChanged);

    switch (how) {
    case 0:
        QTest::keyClick(panel, Qt::Key_Escape);
        break;
    case 1: {
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(panel, &deactivate);
        break;
    }
    case 2:
        QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(-20, 200));
        break;
    case 3:
        panel->close();
        break;
    }

    QVERIFY(!controller.hasActivePanel());
    QVERIFY(changed.count() >= 1);
    QCOMPARE(changed.first().at(0).toBool(), false);
    // It fades out first and goes off the screen 0.2 s later.
    QVERIFY(panel->isVisible());
    QTRY_COMPARE(panel->windowOpacity(), 0.0);
    QTRY_VERIFY(!panel->isVisible());
}

void tst_PanelController::focusLossWhileHiddenChangesNothing()
{
    Delegate delegate;
    PanelController controller(&delegate);
    ZVPanel *panel = controller.window();
    QSignalSpy changed(&controller, &PanelController::hasActivePanelChanged);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(panel, &deactivate);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!panel->isVisible());
}

void tst_PanelController::reopeningKeepsThePanelOnScreen()
{
    Delegate delegate;
    PanelController controller(&delegate);
    controller.setHasActivePanel(true);
    waitUntilOpen(controller);
    ZVPanel *panel = controller.window();

    controller.setHasActivePanel(false);
    QTest::qWait(50);
    controller.setHasActivePanel(true);
    QTest::qWait(2 * PanelGeometry::kOrderOutDelayMs);
    QVERIFY(controller.hasActivePanel());
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->windowOpacity(), 1.0);

    // A close, a reopening and a close again: the panel goes 0.2 s after the last close.
    controller.setHasActivePanel(false);
    QTest::qWait(100);
    controller.setHasActivePanel(true);
    controller.setHasActivePanel(false);
    QTest::qWait(150);
    QVERIFY(panel->isVisible());
    QTRY_VERIFY(!panel->isVisible());
}

QTEST_MAIN(tst_PanelController)
#include "tst_panelcontroller.moc"
