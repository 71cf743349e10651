// A push button with a title; its action is the clicked() signal. It also
// answers Return and Space while it has the keyboard focus.
#pragma once

#include <QPushButton>

class PushButton final : public QPushButton
{
    Q_OBJECT
public:
    explicit PushButton(QWidget *parent = nullptr);

    QString title() const { return text(); }
    // The title also names the button for a screen reader unless it has a name already.
    void setTitle(const QString &title);
};
