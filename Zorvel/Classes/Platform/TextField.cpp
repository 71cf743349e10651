#include "TextField.h"

TextField::TextField(QWidget *parent)
    : QLineEdit(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    // The controls are placed by frame; the style's minimum would fight that.
    setMinimumSize(0, 0);
    setClearButtonEnabled(false);
}

void TextField::setPlaceholderString(const QString &placeholder)
{
    setPlaceholderText(placeholder);
    if (accessibleName().isEmpty())
        setAccessibleName(placeholder);
}
