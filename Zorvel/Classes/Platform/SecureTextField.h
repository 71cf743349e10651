// A text field that hides what is typed (passwords); copying its contents out
// is refused, as the password echo mode of the line edit does.
#pragma once

#include "TextField.h"

class SecureTextField final : public TextField
{
    Q_OBJECT
public:
    explicit SecureTextField(QWidget *parent = nullptr);
};
