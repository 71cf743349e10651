#include "StatusBar.h"

#include "StatusItem.h"

StatusBar &StatusBar::systemStatusBar()
{
    static StatusBar bar;
    return bar;
}

std::unique_ptr<StatusItem> StatusBar::statusItemWithLength(double length)
{
    auto item = std::make_unique<StatusItem>(length);
    item->install();
    return item;
}

void StatusBar::removeStatusItem(StatusItem *item)
{
    if (item)
        item->uninstall();
}
