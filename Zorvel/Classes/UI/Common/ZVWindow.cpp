#include "ZVWindow.h"

ZVWindow::ZVWindow(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags | Qt::Window)
{
    setFocusPolicy(Qt::StrongFocus);
    // Showing the window must also make it active, so that it gets the keys.
    setAttribute(Qt::WA_ShowWithoutActivating, false);
}
