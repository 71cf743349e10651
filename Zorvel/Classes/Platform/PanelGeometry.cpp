#include "PanelGeometry.h"

#include <cmath>

namespace PanelGeometry {

Rect statusRect(const std::optional<Rect> &iconRect, const Rect &screenFrame, double statusBarThickness)
{
    if (iconRect && !iconRect->isEmpty())
        return {iconRect->x, iconRect->y - iconRect->height, iconRect->width, iconRect->height};
    return {roundHalfAwayFloat((screenFrame.width - kFallbackIconWidth) / 2),
            screenFrame.height - 2 * statusBarThickness, kFallbackIconWidth, statusBarThickness};
}

Rect panelFrame(const Rect &statusRect, const Rect &screenFrame)
{
    Rect panel {0, 0, kPanelWidth, kPanelHeight};
    panel.x = roundHalfAwayFloat((statusRect.x + statusRect.width * 0.5) - kPanelWidth / 2);
    panel.y = statusRect.maxY() - kPanelHeight;
    const double limit = screenFrame.maxX() - kScreenRightMargin;
    if (panel.maxX() > limit)
        panel.x -= panel.maxX() - limit;
    if (panel.y < screenFrame.y)
        panel.y = statusRect.maxY() + statusRect.height;
    return panel;
}

qint64 arrowX(const Rect &statusRect, double windowX)
{
    const double centre = roundHalfAwayFloat(statusRect.x + statusRect.width * 0.5);
    return qint64(std::trunc(centre - windowX));
}

Opening opening(bool isLeftMouseDown, Qt::KeyboardModifiers modifiers)
{
    if (!isLeftMouseDown)
        return {};
    // Only the modifiers a person holds count; the keypad flag is kept because
    // it makes the combination inexact, as caps lock would.
    const Qt::KeyboardModifiers held = modifiers
        & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::KeypadModifier);
    if (held == Qt::ShiftModifier)
        return {kSlowOpeningDurationMs, false};
    if (held == (Qt::ShiftModifier | Qt::AltModifier))
        return {kSlowOpeningDurationMs, true};
    return {};
}

Rect screenFrame(const QRect &primaryScreenGeometry)
{
    return {0, 0, double(primaryScreenGeometry.width()), double(primaryScreenGeometry.height())};
}

QRect toQtScreen(const Rect &frame, const QRect &primaryScreenGeometry)
{
    const double bottom = primaryScreenGeometry.y() + primaryScreenGeometry.height();
    return QRect(qRound(primaryScreenGeometry.x() + frame.x), qRound(bottom - frame.maxY()), qRound(frame.width),
                 qRound(frame.height));
}

Rect fromQtScreen(const QRectF &geometry, const QRect &primaryScreenGeometry)
{
    const double bottom = primaryScreenGeometry.y() + primaryScreenGeometry.height();
    return {geometry.x() - primaryScreenGeometry.x(), bottom - (geometry.y() + geometry.height()), geometry.width(),
            geometry.height()};
}

} // namespace PanelGeometry
