#include "BackgroundView.h"

#include <QPainter>

BackgroundView::BackgroundView(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void BackgroundView::setArrowX(qint64 arrowX)
{
    m_arrowX = arrowX;
    update();
}

QPainterPath BackgroundView::outlinePath(const Rect &bounds, qint64 arrowX)
{
    const Rect c = bounds.insetBy(kLineThickness, kLineThickness);
    const double l = c.minX(), r = c.maxX(), b = c.minY(), t = c.maxY();
    const double rad = kCornerRadius, top = t - kArrowHeight;
    // The base corners are computed on the integer, before they become coordinates.
    const double baseLeft = double(arrowX - kArrowHalfWidth);
    const double baseRight = double(arrowX + kArrowHalfWidth);

    QPainterPath path;
    path.moveTo(double(arrowX), t);
    path.lineTo(baseRight, top);
    path.lineTo(r - rad, top);
    path.cubicTo(r, top, r, top, r, top - rad);
    path.lineTo(r, b + rad);
    path.cubicTo(r, b, r, b, r - rad, b);
    path.lineTo(l + rad, b);
    path.cubicTo(l, b, l, b, l, b + rad);
    path.lineTo(l, top - rad);
    path.cubicTo(l, top, l, top, l + rad, top);
    path.lineTo(baseLeft, top);
    path.closeSubpath();
    return path;
}

void BackgroundView::paintBody(QPainter &painter, const Rect &bounds, qint64 arrowX)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // One flip, so that the outline and the clip stay in bottom-left coordinates.
    painter.setTransform(QTransform(1, 0, 0, -1, 0, bounds.height), true);

    const QPainterPath outline = outlinePath(bounds, arrowX);
    painter.fillPath(outline, QColor::fromRgbF(1.0f, 1.0f, 1.0f, kFillAlpha));

    // The bounds minus the outline's inside: only the outer half of the line shows,
    // so the edge never covers the fill.
    QPainterPath clip;
    clip.setFillRule(Qt::OddEvenFill);
    clip.addRect(bounds.toQRectF());
    clip.addPath(outline);
    painter.setClipPath(clip, Qt::IntersectClip);
    painter.strokePath(outline, QPen(Qt::white, kStrokeWidth));
    painter.restore();
}

void BackgroundView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintBody(painter, Geometry::bounds(this), m_arrowX);
}
