#include "MenubarController.h"

#include "Images.h"
#include "StatusBar.h"
#include "StatusItem.h"
#include "StatusItemView.h"

#include <QMenu>

using namespace Qt::StringLiterals;

namespace {
QPixmap statusItemImage()
{
    return Images::pixmap(u"statusItem"_s).value_or(QPixmap());
}
} // namespace

MenubarController::MenubarController(QObject *parent)
    : QObject(parent)
    , m_menu(std::make_unique<QMenu>())
{
    m_openAction = m_menu->addAction(u"Open"_s);
    m_reloadAction = m_menu->addAction(u"Reload"_s);
    m_logoutAction = m_menu->addAction(u"Logout"_s);
    m_menu->addSeparator();
    m_quitAction = m_menu->addAction(u"Quit"_s);

    m_statusItemView
        = std::make_unique<StatusItemView>(StatusBar::systemStatusBar().statusItemWithLength(kStatusItemLength));
    // Both pictures are the same image, looked up twice: the highlight is the
    // background drawn behind it.
    m_statusItemView->setImage(statusItemImage());
    m_statusItemView->setAlternateImage(statusItemImage());
    m_statusItemView->setAction("togglePanel");
    statusItem()->setToolTip(u"Zorvel"_s);
    statusItem()->setMenu(m_menu.get());
}

MenubarController::~MenubarController()
{
    StatusBar::systemStatusBar().removeStatusItem(statusItem());
}

StatusItem *MenubarController::statusItem() const
{
    return m_statusItemView->statusItem();
}

bool MenubarController::hasActiveIcon() const
{
    return m_statusItemView->isHighlighted();
}

void MenubarController::setHasActiveIcon(bool active)
{
    m_statusItemView->setHighlighted(active);
}
