// Where the drop-down panel goes and how it opens: pure functions of the icon's
// rectangle and the primary screen, plus the one conversion to Qt's screen geometry.
#pragma once

#include "Geometry.h"

#include <QRect>
#include <QtGlobal>
#include <optional>

// Everything here is in the panel's own screen coordinates: origin at the
// bottom-left corner of the primary screen, y growing upward, in points. Only
// toQtScreen() / fromQtScreen() know that Qt counts from the top-left.
namespace PanelGeometry {

inline constexpr double kPanelWidth = 320;
inline constexpr double kPanelHeight = 410;
// 399, not 400: the 11 points above a screen belong to the arrow.
inline constexpr Rect kChildBounds {0, 0, 320, 399};
inline constexpr double kScreenRightMargin = 8;
inline constexpr double kFallbackIconWidth = 24;

inline constexpr int kOpeningDurationMs = 150;
inline constexpr int kSlowOpeningDurationMs = 1500;
inline constexpr int kFadeOutDurationMs = 100;
inline constexpr int kOrderOutDelayMs = 200;

// The icon-sized rectangle directly below the icon, from which the panel
// unfolds. Without an icon rectangle (none, or an empty one: the icon's place
// is unknown), a rectangle centred on the primary screen just below the
// height of a status bar.
Rect statusRect(const std::optional<Rect> &iconRect, const Rect &screenFrame, double statusBarThickness);

// The open panel: centred under the status rectangle with its top edge on the
// rectangle's top, moved left to keep a margin at the screen's right edge.
// A tray at the bottom of the screen would put the panel below the screen,
// out of sight: then it stands on the icon's top edge instead.
Rect panelFrame(const Rect &statusRect, const Rect &screenFrame);

// The arrow's tip in the panel's coordinates: under the icon's centre for a
// panel whose left edge is at windowX.
qint64 arrowX(const Rect &statusRect, double windowX);

struct Opening
{
    int durationMs = kOpeningDurationMs;
    bool logsGeometry = false;
    friend bool operator==(const Opening &, const Opening &) = default;
};

// How the panel opens for the click that opened it: slowly with exactly Shift
// or exactly Shift+Alt held (the latter also logs the geometry), else at the
// normal pace. Anything but a left click opens at the normal pace.
Opening opening(bool isLeftMouseDown, Qt::KeyboardModifiers modifiers);

// The primary screen as a frame: origin 0, 0 and the screen's size.
Rect screenFrame(const QRect &primaryScreenGeometry);

// The one conversion between these coordinates and Qt's global screen
// geometry, given the primary screen's geometry in Qt.
QRect toQtScreen(const Rect &frame, const QRect &primaryScreenGeometry);
Rect fromQtScreen(const QRectF &geometry, const QRect &primaryScreenGeometry);

} // namespace PanelGeometry
