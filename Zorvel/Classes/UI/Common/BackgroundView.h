// The visible body of the drop-down panel: a rounded rectangle with an arrow on
// its top edge pointing at the tray icon, filled with translucent white and
// edged outside by a thin opaque white line. Everything else stays transparent.
#pragma once

#include "Geometry.h"

#include <QPainterPath>
#include <QWidget>

class BackgroundView final : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kLineThickness = 1.0; // inset of the body, and the visible edge
    static constexpr qint64 kArrowHalfWidth = 6;
    static constexpr double kArrowHeight = 8.0;
    static constexpr double kCornerRadius = 6.0;
    static constexpr float kFillAlpha = 0.9f;
    static constexpr double kStrokeWidth = 2.0;

    explicit BackgroundView(QWidget *parent = nullptr);

    // x of the arrow's tip in the view's coordinates; stored and drawn unclamped.
    qint64 arrowX() const { return m_arrowX; }
    void setArrowX(qint64 arrowX);

    // The outline in bottom-left coordinates for the given bounds, clockwise on the
    // screen from the arrow's tip. The corners are cubic curves with both control
    // points on the body's corner. Folds over itself when the arrow meets a corner
    // or the bounds are too small; that is drawn as it comes.
    static QPainterPath outlinePath(const Rect &bounds, qint64 arrowX);

    // Paints the body as the view does, into a painter whose coordinates are the view's top-left ones.
    static void paintBody(QPainter &painter, const Rect &bounds, qint64 arrowX);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qint64 m_arrowX = 0;
};
