// The application delegate: the click that creates and toggles the panel, the
// icon's highlight following the panel, the tray menu, and termination.
#include "AppDelegate.h"
#include "MenubarController.h"
#include "PanelController.h"
#include "StatusItem.h"
#include "StatusItemView.h"
#include "ZVCredentialStorage.h"
#include "ZVPanel.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QtMessageHandler g_testHandler = nullptr;
void dropPlatformNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(u"This plugin does not support"))
        g_testHandler(type, context, message);
}

// A launched program: the delegate is the application's, the icon is up.
struct Program
{
    AppDelegate delegate;
    Program()
    {
        qApp->setProperty(kApplicationDelegateProperty, QVariant::fromValue<QObject *>(&delegate));
        delegate.applicationDidFinishLaunching();
    }
    ~Program() { qApp->setProperty(kApplicationDelegateProperty, QVariant()); }
    StatusItemView *view() { return delegate.menubarController()->statusItemView(); }
    void click() { emit view()->statusItem()->clicked(Qt::NoModifier); }
};
} // namespace

class tst_AppDelegate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void clicksToggleThePanelAndTheHighlight();
    void highlightFollowsPanelClosingByItself();
    void trayMenu();
    void terminationRemovesTheIcon();
};

void tst_AppDelegate::initTestCase()
{
    g_testHandler = qInstallMessageHandler(dropPlatformNoise);
    QCoreApplication::setOrganizationDomain(u"zorvel.org"_s);
    QCoreApplication::setApplicationName(u"tst_appdelegate"_s);
    ZVCredentialStorage::sharedCredentialStorage().removeToken();
}

void tst_AppDelegate::clicksToggleThePanelAndTheHighlight()
{
    Program program;
    QVERIFY(program.delegate.menubarController());
    QCOMPARE(program.view()->frame(), (Rect {0, 0, 24, 22}));
    QVERIFY(!program.view()->isHighlighted());
    // Nothing but the icon at start: the panel comes with the first click.
    QVERIFY(!program.delegate.hasPanelController());

    program.click();
    PanelController *panel = program.delegate.panelController();
    QVERIFY(panel->hasActivePanel());
    QVERIFY(panel->window()->isVisible());
    QVERIFY(program.view()->isHighlighted());
    QCOMPARE(program.delegate.statusItemViewForPanelController(panel), program.view());

    program.click();
    QCOMPARE(program.delegate.panelController(), panel);
    QVERIFY(!panel->hasActivePanel());
    QVERIFY(!program.view()->isHighlighted());
    QTRY_VERIFY(!panel->window()->isVisible());
}

void tst_AppDelegate::highlightFollowsPanelClosingByItself()
{
    Program program;
    program.click();
    PanelController *panel = program.delegate.panelController();
    QVERIFY(program.view()->isHighlighted());

    QTest::keyClick(panel->window(), Qt::Key_Escape);
    QVERIFY(!program.view()->isHighlighted());

    // The next click opens it again rather than "closing" a closed panel.
    program.click();
    QVERIFY(panel->hasActivePanel());
    QVERIFY(program.view()->isHighlighted());
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(panel->window(), &deactivate);
    QVERIFY(!program.view()->isHighlighted());
}

void tst_AppDelegate::trayMenu()
{
    Program program;
    MenubarController *menubar = program.delegate.menubarController();
    QCOMPARE(program.view()->statusItem()->isInstalled(), true);
    QStringList titles;
    for (QAction *action : menubar->menu()->actions())
        if (!action->isSeparator())
            titles << action->text();
    QCOMPARE(titles, (QStringList {u"Open"_s, u"Reload"_s, u"Logout"_s, u"Quit"_s}));

    // Signed out, there is nothing to reload or leave.
    emit menubar->menu()->aboutToShow();
    QVERIFY(!menubar->reloadAction()->isEnabled());
    QVERIFY(!menubar->logoutAction()->isEnabled());

    menubar->openAction()->trigger();
    QVERIFY(program.delegate.panelController()->hasActivePanel());
    QVERIFY(program.view()->isHighlighted());
    menubar->openAction()->trigger(); // already open: stays open
    QVERIFY(program.delegate.panelController()->hasActivePanel());
}

void tst_AppDelegate::terminationRemovesTheIcon()
{
    Program program;
    QPointer<StatusItem> item = program.view()->statusItem();
    QVERIFY(item->isInstalled());
    QCOMPARE(program.delegate.applicationShouldTerminate(), AppDelegate::TerminateNow);
    QVERIFY(!program.delegate.menubarController());
    QVERIFY(!item);
}

QTEST_MAIN(tst_AppDelegate)
#include "tst_appdelegate.moc"
