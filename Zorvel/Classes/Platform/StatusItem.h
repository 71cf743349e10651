// One icon in the system tray: shows the picture its view draws, reports left
// clicks with their modifiers and knows, as far as the tray tells, where it is.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <optional>

class QMenu;
class QSystemTrayIcon;

class StatusItem final : public QObject
{
    Q_OBJECT
public:
    // How often the item looks for a tray while none is there.
    static constexpr int kTrayRetryIntervalMs = 2000;

    explicit StatusItem(double length, QObject *parent = nullptr);
    ~StatusItem() override;

    double length() const { return m_length; }

    void setPixmap(const QPixmap &pixmap);
    QPixmap pixmap() const { return m_pixmap; }
    void setToolTip(const QString &toolTip);
    // Shown by the tray on a right click (trays that show only menus need it). Not owned.
    void setMenu(QMenu *menu);

    // Shows the icon now if a tray exists, else as soon as one appears.
    void install();
    // Takes the icon out of the tray and stops waiting for one.
    void uninstall();
    bool isInstalled() const { return m_installed; }
    bool isWaitingForTray() const { return m_retryTimer.isActive(); }
    // The icon is in a tray right now.
    bool isVisible() const;

    // The icon's rectangle in Qt's global coordinates once the tray has placed
    // it; absent while it is unknown (the tray reports (0,0) until it has
    // placed the icon, and trays on D-Bus never report it).
    std::optional<QRect> trayGeometry() const;
    // Where the cursor was at the last click, the best estimate of the icon's place.
    std::optional<QPoint> lastClickPosition() const { return m_lastClickPosition; }

signals:
    // A left click (on the press), with the modifiers held at that moment.
    void clicked(Qt::KeyboardModifiers modifiers);

private:
    void showWhenTrayAvailable();

    double m_length;
    QPixmap m_pixmap;
    QString m_toolTip;
    QPointer<QMenu> m_menu;
    QSystemTrayIcon *m_tray = nullptr;
    QTimer m_retryTimer;
    bool m_installed = false;
    std::optional<QPoint> m_lastClickPosition;
};
