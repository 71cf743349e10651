// Owns the drop-down panel: places it under the tray icon, animates its opening
// and closing, keeps the arrow on the icon and shows the login or activities screen.
#pragma once

#include "ActivitiesControllerDelegate.h"
#include "BackgroundView.h"
#include "Geometry.h"
#include "LoginControllerDelegate.h"
#include "PanelControllerDelegate.h"

#include <QAbstractAnimation>
#include <QObject>
#include <QPointer>
#include <memory>

class ActivitiesController;
class LoginController;
class ZVPanel;

class PanelController final : public QObject, public LoginControllerDelegate, public ActivitiesControllerDelegate
{
    Q_OBJECT
public:
    // The window is built on the first request for it, not here.
    explicit PanelController(PanelControllerDelegate *delegate, QObject *parent = nullptr);
    ~PanelController() override;

    // True while the panel is open or opening. Setting it is the only way to
    // open or close the panel; hasActivePanelChanged follows every set, also
    // one that changes nothing.
    bool hasActivePanel() const { return m_hasActivePanel; }
    void setHasActivePanel(bool hasActivePanel);

    PanelControllerDelegate *delegate() const { return m_delegate; }
    // The panel window, built (with its background view) on the first call.
    ZVPanel *window();
    bool isWindowLoaded() const { return m_window != nullptr; }

    BackgroundView *backgroundView() const { return m_backgroundView; }
    void setBackgroundView(BackgroundView *view) { m_backgroundView = view; }
    ActivitiesController *activitiesController() const { return m_activitiesController.get(); }
    void setActivitiesController(std::unique_ptr<ActivitiesController> controller);
    LoginController *loginController() const { return m_loginController.get(); }
    void setLoginController(std::unique_ptr<LoginController> controller);
    // The frame every screen gets inside the background view.
    Rect childBounds() const { return m_childBounds; }
    void setChildBounds(const Rect &bounds) { m_childBounds = bounds; }

    // The icon-sized rectangle under the icon, in the panel's bottom-left
    // screen coordinates, from which the panel unfolds.
    Rect statusRectForWindow(ZVPanel *window) const;
    void openPanel();
    void closePanel();

    // The window's notices.
    void windowDidResize();
    void windowDidResignKey();
    void windowWillClose();
    void cancelOperation();

    // LoginControllerDelegate: show the activities screen.
    void didLoginSuccessfully() override;
    // ActivitiesControllerDelegate: show the login screen.
    void didLogoutSuccessfully() override;
    void cleanSubviews();
    // Shows the screen for the current sign-in state.
    void addSubviews(QObject *sender = nullptr);

    // The opening or closing animation running or last run; null before the first.
    QAbstractAnimation *animation() const { return m_animation; }

signals:
    void hasActivePanelChanged(bool hasActivePanel);

private:
    void awakeFromNib();
    void showScreen(QWidget *screen);
    void stopAnimation();

    bool m_hasActivePanel = false;
    QPointer<BackgroundView> m_backgroundView;
    PanelControllerDelegate *m_delegate;
    std::unique_ptr<ActivitiesController> m_activitiesController;
    std::unique_ptr<LoginController> m_loginController;
    Rect m_childBounds;
    // Declared after the screens so that it goes first, taking the shown
    // screen's view with it; the screens then find their views gone.
    std::unique_ptr<ZVPanel> m_window;
    QPointer<QAbstractAnimation> m_animation;
    // Each close schedules an order-out; an opening or a later close makes
    // the pending one stale, so an open panel is never taken off the screen.
    quint64 m_orderOutGeneration = 0;
};
