// A read-only, multi-line text area for messages shown inside a screen.
// Text is always plain: error descriptions from the service are never markup.
#pragma once

#include <QLabel>

class TextView final : public QLabel
{
    Q_OBJECT
public:
    explicit TextView(QWidget *parent = nullptr);

    QString string() const { return text(); }
    void setString(const QString &string);
};
