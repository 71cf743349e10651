#include "TextView.h"

TextView::TextView(QWidget *parent)
    : QLabel(parent)
{
    // Text that arrives from outside (a server's message) must not be read as rich text.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Messages can be selected and copied, but the area never takes the keyboard focus.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::NoFocus);
}

void TextView::setString(const QString &string)
{
    setText(string);
    // A screen reader announces the message through the description.
    setAccessibleDescription(string);
}
