// The system tray seen as a status bar: it hands out status items of a fixed
// width and knows the bar's thickness, which sizes the icons drawn for it.
#pragma once

#include <memory>

class StatusItem;

class StatusBar final
{
public:
    static StatusBar &systemStatusBar();

    // Trays size their icons themselves; this is the height the icons are drawn for.
    static constexpr double kThickness = 22;
    double thickness() const { return kThickness; }

    // A new item of the given width in points, shown as soon as a tray exists.
    std::unique_ptr<StatusItem> statusItemWithLength(double length);
    // Takes the item's icon out of the tray at once.
    void removeStatusItem(StatusItem *item);

private:
    StatusBar() = default;
};
