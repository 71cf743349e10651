#include "AppDelegate.h"

#include "ActivitiesController.h"
#include "MenubarController.h"
#include "PanelController.h"
#include "StatusItemView.h"
#include "ZVClient.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

using namespace Qt::StringLiterals;

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{ }

AppDelegate::~AppDelegate()
{
    if (m_panelController)
        disconnect(m_panelController.get(), nullptr, this, nullptr);
}

PanelController *AppDelegate::panelController()
{
    if (!m_panelController) {
        m_panelController = std::make_unique<PanelController>(this);
        connect(m_panelController.get(), &PanelController::hasActivePanelChanged, this,
                [this] { observeValueForKeyPath(u"hasActivePanel"_s, m_panelController.get(), kContextActivePanel); });
    }
    return m_panelController.get();
}

void AppDelegate::setMenubarController(std::unique_ptr<MenubarController> controller)
{
    m_menubarController = std::move(controller);
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_menubarController = std::make_unique<MenubarController>();
    connectMenu();
}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate()
{
    m_menubarController.reset();
    return TerminateNow;
}

void AppDelegate::togglePanel(QObject *sender)
{
    Q_UNUSED(sender);
    if (!m_menubarController)
        return;
    m_menubarController->setHasActiveIcon(!m_menubarController->hasActiveIcon());
    panelController()->setHasActivePanel(m_menubarController->hasActiveIcon());
}

void AppDelegate::observeValueForKeyPath(const QString &keyPath, QObject *object, const void *context)
{
    Q_UNUSED(keyPath);
    Q_UNUSED(object);
    if (context != kContextActivePanel)
        return;
    if (m_menubarController && m_panelController)
        m_menubarController->setHasActiveIcon(m_panelController->hasActivePanel());
}

StatusItemView *AppDelegate::statusItemViewForPanelController(PanelController *controller)
{
    Q_UNUSED(controller);
    return m_menubarController ? m_menubarController->statusItemView() : nullptr;
}

void AppDelegate::connectMenu()
{
    MenubarController *menubar = m_menubarController.get();
    connect(menubar->openAction(), &QAction::triggered, this, &AppDelegate::openFromMenu);
    connect(menubar->reloadAction(), &QAction::triggered, this, &AppDelegate::reloadFromMenu);
    connect(menubar->logoutAction(), &QAction::triggered, this, &AppDelegate::logoutFromMenu);
    connect(menubar->quitAction(), &QAction::triggered, this, &AppDelegate::quitFromMenu);
    connect(menubar->menu(), &QMenu::aboutToShow, this, [menubar] {
        const bool loggedIn = ZVClient::sharedInstance().isLoggedIn();
        menubar->reloadAction()->setEnabled(loggedIn);
        menubar->logoutAction()->setEnabled(loggedIn);
    });
}

void AppDelegate::openFromMenu()
{
    if (!m_menubarController || m_menubarController->hasActiveIcon())
        return;
    togglePanel(nullptr);
}

void AppDelegate::reloadFromMenu()
{
    // A screen built by this opening loads its data anyway; one kept from
    // before is asked to load anew.
    const bool hadScreen = m_panelController && m_panelController->activitiesController();
    openFromMenu();
    if (hadScreen && ZVClient::sharedInstance().isLoggedIn())
        panelController()->activitiesController()->onReload();
}

void AppDelegate::logoutFromMenu()
{
    if (!ZVClient::sharedInstance().isLoggedIn())
        return;
    if (m_panelController && m_panelController->activitiesController()) {
        m_panelController->activitiesController()->onLogout();
        return;
    }
    ZVClient::sharedInstance().logout();
}

void AppDelegate::quitFromMenu()
{
    QCoreApplication::quit();
}
