#include "StatusItem.h"

#include "Log.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

StatusItem::StatusItem(double length, QObject *parent)
    : QObject(parent)
    , m_length(length)
{
    m_retryTimer.setInterval(kTrayRetryIntervalMs);
    connect(&m_retryTimer, &QTimer::timeout, this, &StatusItem::showWhenTrayAvailable);
}

StatusItem::~StatusItem()
{
    uninstall();
}

void StatusItem::setPixmap(const QPixmap &pixmap)
{
    m_pixmap = pixmap;
    if (m_tray)
        m_tray->setIcon(QIcon(pixmap));
    else
        showWhenTrayAvailable();
}

void StatusItem::setToolTip(const QString &toolTip)
{
    m_toolTip = toolTip;
    if (m_tray)
        m_tray->setToolTip(toolTip);
}

void StatusItem::setMenu(QMenu *menu)
{
    m_menu = menu;
    if (m_tray)
        m_tray->setContextMenu(menu);
}

void StatusItem::install()
{
    if (m_installed)
        return;
    m_installed = true;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // Desktops start their tray after the programs of the session: wait for it.
        qCInfo(lcZorvel) << "No system tray is available yet; the icon is shown when one appears";
        m_retryTimer.start();
        return;
    }
    showWhenTrayAvailable();
}

void StatusItem::uninstall()
{
    m_installed = false;
    m_retryTimer.stop();
    if (m_tray) {
        m_tray->hide();
        delete m_tray;
        m_tray = nullptr;
    }
}

bool StatusItem::isVisible() const
{
    return m_tray && m_tray->isVisible();
}

void StatusItem::showWhenTrayAvailable()
{
    // A tray shows nothing for an item without a picture: wait for the first one.
    if (!m_installed || m_tray || m_pixmap.isNull())
        return;
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_retryTimer.stop();
    m_tray = new QSystemTrayIcon(QIcon(m_pixmap), this);
    m_tray->setToolTip(m_toolTip);
    if (m_menu)
        m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        m_lastClickPosition = QCursor::pos();
        emit clicked(QGuiApplication::queryKeyboardModifiers());
    });
    m_tray->show();
}

std::optional<QRect> StatusItem::trayGeometry() const
{
    if (!m_tray || !m_tray->isVisible())
        return std::nullopt;
    const QRect geometry = m_tray->geometry();
    if (geometry.isEmpty() || geometry.topLeft() == QPoint(0, 0))
        return std::nullopt;
    return geometry;
}
