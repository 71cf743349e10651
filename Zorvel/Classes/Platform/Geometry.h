// Points, sizes and rectangles in doubles, and the one conversion between the
// bottom-left frames that views are described in and Qt's top-left geometry.
#pragma once

#include <QDebug>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cmath>

struct Point
{
    double x = 0, y = 0;
    friend bool operator==(const Point &, const Point &) = default;
};

struct Size
{
    double width = 0, height = 0;
    friend bool operator==(const Size &, const Size &) = default;
};

struct Rect
{
    double x = 0, y = 0, width = 0, height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    Size size() const { return {width, height}; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    Rect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }
    // Overlap with a positive area; touching edges do not count.
    bool intersects(const Rect &other) const
    {
        return !isEmpty() && !other.isEmpty() && x < other.maxX() && other.x < maxX() && y < other.maxY()
            && other.y < maxY();
    }
    QRectF toQRectF() const { return QRectF(x, y, width, height); }
    static Rect fromQRectF(const QRectF &r) { return {r.x(), r.y(), r.width(), r.height()}; }
    // "{{x, y}, {w, h}}", numbers written as %g does.
    QString toString() const
    {
        return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(x).arg(y).arg(width).arg(height);
    }

    friend bool operator==(const Rect &, const Rect &) = default;
};

inline QDebug operator<<(QDebug debug, const Rect &rect)
{
    QDebugStateSaver saver(debug);
    debug.noquote() << rect.toString();
    return debug;
}

// Rounds to the nearest whole number, halves away from zero, in single precision.
inline double roundHalfAwayFloat(double value) { return double(std::round(float(value))); }

namespace Geometry {

// Places a child widget by its frame in its parent's bottom-left coordinates.
// The parent's height is read now: set the parent's size before its children.
// Widgets sit on whole pixels; the exact frame is kept beside the geometry so
// that reading it back gives what was set (209.5 stays 209.5).
inline constexpr char kExactFrameProperty[] = "zvExactFrame";

inline QRect toQtGeometry(const Rect &frame, double parentHeight)
{
    return QRect(qRound(frame.x), qRound(parentHeight - frame.maxY()), qRound(frame.width), qRound(frame.height));
}

inline void setFrame(QWidget *child, const Rect &frame)
{
    const double parentHeight = child->parentWidget() ? child->parentWidget()->height() : frame.maxY();
    const QRect geometry = toQtGeometry(frame, parentHeight);
    child->setProperty(kExactFrameProperty, QVariant::fromValue(QRectF(frame.x, frame.y, frame.width, frame.height)));
    child->setGeometry(geometry);
}

// A child's frame read back in its parent's bottom-left coordinates.
inline Rect frame(const QWidget *child)
{
    const QRect g = child->geometry();
    const double parentHeight = child->parentWidget() ? child->parentWidget()->height() : g.height();
    const QVariant exact = child->property(kExactFrameProperty);
    if (exact.isValid()) {
        const Rect stored = Rect::fromQRectF(exact.toRectF());
        if (toQtGeometry(stored, parentHeight) == g)
            return stored;
    }
    return {double(g.x()), parentHeight - g.y() - g.height(), double(g.width()), double(g.height())};
}

// A widget's own bounds: origin 0, 0 and its size.
inline Rect bounds(const QWidget *widget) { return {0, 0, double(widget->width()), double(widget->height())}; }

} // namespace Geometry
