// The application's delegate: puts the tray icon up when launching has
// finished, opens and closes the panel on its clicks and keeps the two in step.
#pragma once

#include "PanelControllerDelegate.h"

#include <QObject>
#include <QString>
#include <memory>

class MenubarController;
class PanelController;

// Tags the delegate's own observation of the panel controller's flag, so that
// it tells its change notices from any others: a pointer that holds its own address.
inline const void *const kContextActivePanel = &kContextActivePanel;

class AppDelegate final : public QObject, public PanelControllerDelegate
{
    Q_OBJECT
public:
    enum TerminateReply { TerminateCancel = 0, TerminateNow = 1 };

    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // Created on first use, observed from then on.
    PanelController *panelController();
    bool hasPanelController() const { return m_panelController != nullptr; }
    MenubarController *menubarController() const { return m_menubarController.get(); }
    void setMenubarController(std::unique_ptr<MenubarController> controller);

    void applicationDidFinishLaunching();
    // Takes the icon out of the tray; always agrees.
    TerminateReply applicationShouldTerminate();

    // The tray icon's click.
    Q_INVOKABLE void togglePanel(QObject *sender);
    // Change notices of observed properties.
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const void *context);

    // PanelControllerDelegate
    StatusItemView *statusItemViewForPanelController(PanelController *controller) override;

    // The tray menu's entries, for trays that show only menus.
    void openFromMenu();
    void reloadFromMenu();
    void logoutFromMenu();
    void quitFromMenu();

private:
    void connectMenu();

    std::unique_ptr<PanelController> m_panelController;
    std::unique_ptr<MenubarController> m_menubarController;
};
