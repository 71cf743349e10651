// A top-level window that can always take the keyboard focus, also when it is
// frameless or a tool window.
#pragma once

#include <QWidget>

class ZVWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit ZVWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::Window);

    bool canBecomeKeyWindow() const { return true; }
};
