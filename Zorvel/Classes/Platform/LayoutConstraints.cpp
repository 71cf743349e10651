#include "LayoutConstraints.h"

#include "Geometry.h"

#include <QEvent>
#include <optional>

LayoutConstraints::LayoutConstraints(QWidget *view)
    : QObject(view)
    , m_view(view)
{
    Q_ASSERT(view);
    view->installEventFilter(this);
}

void LayoutConstraints::tie(QWidget *item, Attribute attribute, double offset)
{
    tie(item, attribute, nullptr, attribute, offset);
}

void LayoutConstraints::tie(QWidget *item, Attribute attribute, QWidget *other, Attribute otherAttribute, double offset)
{
    Q_ASSERT(item && item != m_view && item->parentWidget() == m_view);
    m_constraints.append({item, attribute, other, otherAttribute, offset});
    if (!m_items.contains(item))
        m_items.append(item);
    resolve();
}

void LayoutConstraints::resolve()
{
    if (!m_view)
        return;
    const double height = m_view->height();
    for (const QPointer<QWidget> &item : std::as_const(m_items)) {
        if (!item)
            continue;
        QList<QWidget *> resolving;
        const Edges e = edgesOf(item, resolving);
        Geometry::setFrame(item, Rect {e.left, height - e.bottom, e.right - e.left, e.bottom - e.top});
    }
}

bool LayoutConstraints::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::Resize)
        resolve();
    return QObject::eventFilter(watched, event);
}

double LayoutConstraints::valueOf(QWidget *item, Attribute attribute, QList<QWidget *> &resolving)
{
    Edges e;
    if (item == m_view) {
        e = {0, double(m_view->width()), 0, double(m_view->height())};
    } else if (m_items.contains(item)) {
        e = edgesOf(item, resolving);
    } else {
        // A control without constraints of its own is where it already is.
        const Rect f = Geometry::frame(item);
        e = {f.minX(), f.maxX(), m_view->height() - f.maxY(), m_view->height() - f.minY()};
    }
    switch (attribute) {
    case Attribute::Left:
        return e.left;
    case Attribute::Right:
        return e.right;
    case Attribute::Top:
        return e.top;
    case Attribute::Bottom:
        return e.bottom;
    case Attribute::Width:
        return e.right - e.left;
    case Attribute::Height:
        return e.bottom - e.top;
    }
    return 0;
}

LayoutConstraints::Edges LayoutConstraints::edgesOf(QWidget *item, QList<QWidget *> &resolving)
{
    const QRect current = item->geometry();
    if (resolving.contains(item)) {
        // A cycle of constraints: the item stays where it is rather than recursing forever.
        return {double(current.left()), double(current.left() + current.width()), double(current.top()),
                double(current.top() + current.height())};
    }
    resolving.append(item);

    std::optional<double> left, right, top, bottom, width, height;
    for (const Constraint &c : std::as_const(m_constraints)) {
        if (c.item != item)
            continue;
        const bool sizeAttribute = c.attribute == Attribute::Width || c.attribute == Attribute::Height;
        double value = c.offset;
        if (c.other)
            value += valueOf(c.other, c.otherAttribute, resolving);
        else if (!sizeAttribute)
            value += valueOf(m_view, c.attribute, resolving);
        switch (c.attribute) {
        case Attribute::Left:
            left = value;
            break;
        case Attribute::Right:
            right = value;
            break;
        case Attribute::Top:
            top = value;
            break;
        case Attribute::Bottom:
            bottom = value;
            break;
        case Attribute::Width:
            width = value;
            break;
        case Attribute::Height:
            height = value;
            break;
        }
    }
    resolving.removeOne(item);

    // Two of (start, end, size) fix an axis; with fewer, the item's current size and place fill in.
    const auto axis = [](std::optional<double> start, std::optional<double> end, std::optional<double> size,
                         double currentStart, double currentSize) {
        if (start && end)
            return std::pair {*start, *end};
        const double s = size.value_or(currentSize);
        if (start)
            return std::pair {*start, *start + s};
        if (end)
            return std::pair {*end - s, *end};
        return std::pair {currentStart, currentStart + s};
    };
    const auto [l, r] = axis(left, right, width, current.left(), current.width());
    const auto [t, b] = axis(top, bottom, height, current.top(), current.height());
    return {l, r, t, b};
}
