// A view that paints the window background colour over all but its top 20
// points, which stay clear; it is not opaque.
#pragma once

#include <QWidget>

class ZVBackgroundView final : public QWidget
{
    Q_OBJECT
public:
    explicit ZVBackgroundView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
