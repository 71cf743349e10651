// Owns the program's one tray icon: creates the 24-point status item with its
// view and the right-click menu, and takes the icon out of the tray when it goes.
#pragma once

#include <QObject>
#include <memory>

class QAction;
class QMenu;
class StatusItem;
class StatusItemView;

class MenubarController final : public QObject
{
    Q_OBJECT
public:
    static constexpr double kStatusItemLength = 24;

    explicit MenubarController(QObject *parent = nullptr);
    ~MenubarController() override;

    StatusItemView *statusItemView() const { return m_statusItemView.get(); }
    StatusItem *statusItem() const;

    // The icon's highlight.
    bool hasActiveIcon() const;
    void setHasActiveIcon(bool active);

    // The right-click menu, for trays that show only menus.
    QMenu *menu() const { return m_menu.get(); }
    QAction *openAction() const { return m_openAction; }
    QAction *reloadAction() const { return m_reloadAction; }
    QAction *logoutAction() const { return m_logoutAction; }
    QAction *quitAction() const { return m_quitAction; }

private:
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<StatusItemView> m_statusItemView;
    QAction *m_openAction = nullptr;
    QAction *m_reloadAction = nullptr;
    QAction *m_logoutAction = nullptr;
    QAction *m_quitAction = nullptr;
};
