// A plain view. It accepts a background colour and keeps nothing of it: it
// never paints a background of its own.
#pragma once

#include <QColor>
#include <QWidget>

class ZVView final : public QWidget
{
    Q_OBJECT
public:
    explicit ZVView(QWidget *parent = nullptr)
        : QWidget(parent)
    { }

    void zvSetBackgroundColor(const QColor &) { }
};
