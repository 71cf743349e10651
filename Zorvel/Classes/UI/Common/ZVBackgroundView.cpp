#include "ZVBackgroundView.h"

#include "Geometry.h"

#include <QPainter>

ZVBackgroundView::ZVBackgroundView(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ZVBackgroundView::paintEvent(QPaintEvent *)
{
    // x 0, y 0, W, H - 20 in bottom-left coordinates, whatever part is dirty.
    const Rect fill {0, 0, double(width()), double(height()) - 20};
    if (fill.isEmpty())
        return;
    QPainter painter(this);
    painter.fillRect(QRectF(0, height() - fill.maxY(), fill.width, fill.height), palette().color(QPalette::Window));
}
