// A small constraint helper for a screen view: ties the edges and the height of
// its controls to numbers or to other controls, and turns them into frames
// whenever the view's size changes.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Offsets are counted as the screen reads from the top: y grows downward, so
// "top = 50 below the view's top" is tie(item, Top, 50) and "20 below the
// email field" is tie(item, Top, email, Bottom, 20); "60 in from the right" is
// tie(item, Right, -60). Frames are set in bottom-left coordinates through
// Geometry::setFrame, so they read back exactly.
class LayoutConstraints final : public QObject
{
    Q_OBJECT
public:
    enum class Attribute { Left, Right, Top, Bottom, Width, Height };

    // Watches the view's resizes; the helper lives as long as the view.
    explicit LayoutConstraints(QWidget *view);

    QWidget *view() const { return m_view; }

    // item.attribute = view.attribute + offset (for Width/Height: the constant offset).
    void tie(QWidget *item, Attribute attribute, double offset);
    // item.attribute = other.otherAttribute + offset.
    void tie(QWidget *item, Attribute attribute, QWidget *other, Attribute otherAttribute, double offset = 0);
    // item.attribute = other.attribute + offset: the common case of "equal to".
    void tie(QWidget *item, Attribute attribute, QWidget *other, double offset = 0)
    {
        tie(item, attribute, other, attribute, offset);
    }

    // Places every constrained item now. Called on each new constraint and on each resize.
    void resolve();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Constraint
    {
        QPointer<QWidget> item;
        Attribute attribute;
        QPointer<QWidget> other; // null: the view itself, or a constant for Width/Height
        Attribute otherAttribute;
        double offset;
    };
    // An item's edges in the view's top-down coordinates.
    struct Edges
    {
        double left, right, top, bottom;
    };

    Edges edgesOf(QWidget *item, QList<QWidget *> &resolving);
    double valueOf(QWidget *item, Attribute attribute, QList<QWidget *> &resolving);

    QPointer<QWidget> m_view;
    QList<Constraint> m_constraints;
    QList<QPointer<QWidget>> m_items; // in the order their first constraint came
};
