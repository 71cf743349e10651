#include "PushButton.h"

PushButton::PushButton(QWidget *parent)
    : QPushButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(0, 0);
    // Outside a dialog a push button ignores Return; keyboard users expect it to act.
    setAutoDefault(true);
}

void PushButton::setTitle(const QString &title)
{
    setText(title);
    if (accessibleName().isEmpty())
        setAccessibleName(title);
}
