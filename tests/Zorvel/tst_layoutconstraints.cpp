// The constraint helper: frames that follow the view's size, constraints
// given before the control they refer to, and a cycle that must not hang.
#include "Geometry.h"
#include "LayoutConstraints.h"

#include <QTest>

using A = LayoutConstraints::Attribute;

char *toString(const Rect &rect)
{
    return qstrdup(rect.toString().toUtf8().constData());
}

class tst_LayoutConstraints : public QObject
{
    Q_OBJECT
private slots:
    void framesFollowTheViewSize_data();
    void framesFollowTheViewSize();
    void referencesAndCycles();
};

void tst_LayoutConstraints::framesFollowTheViewSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Rect>("top");
    QTest::addColumn<Rect>("below");
    QTest::newRow("panel screen") << QSize(320, 399) << Rect {60, 319, 200, 30} << Rect {60, 269, 200, 30};
    QTest::newRow("wider and taller") << QSize(400, 500) << Rect {60, 420, 280, 30} << Rect {60, 370, 280, 30};
}

void tst_LayoutConstraints::framesFollowTheViewSize()
{
    QFETCH(QSize, size);
    QWidget view;
    view.resize(320, 399);
    auto *top = new QWidget(&view);
    auto *below = new QWidget(&view);
    auto *constraints = new LayoutConstraints(&view);
    constraints->tie(top, A::Left, 60);
    constraints->tie(top, A::Right, -60);
    constraints->tie(top, A::Top, 50);
    constraints->tie(top, A::Height, 30);
    constraints->tie(below, A::Top, top, A::Bottom, 20);
    constraints->tie(below, A::Left, top);
    constraints->tie(below, A::Right, top);
    constraints->tie(below, A::Height, top);

    // Resolved by the view's resize, not by a call of the screen's own (a hidden
    // widget hears of its resize only when it is shown).
    view.show();
    view.resize(size);
    QTEST(Geometry::frame(top), "top");
    QTEST(Geometry::frame(below), "below");
}

void tst_LayoutConstraints::referencesAndCycles()
{
    QWidget view;
    view.resize(200, 100);
    auto *later = new QWidget(&view);
    auto *anchor = new QWidget(&view);
    auto *free = new QWidget(&view);
    free->setGeometry(5, 5, 40, 10); // no constraints: it is referred to where it stands
    auto *constraints = new LayoutConstraints(&view);

    // Tied to a control whose own constraints come afterwards.
    constraints->tie(later, A::Top, anchor, A::Bottom, 10);
    constraints->tie(later, A::Left, free, A::Right, 0);
    constraints->tie(later, A::Width, 30);
    constraints->tie(later, A::Height, 15);
    constraints->tie(anchor, A::Top, 20);
    constraints->tie(anchor, A::Bottom, -60); // top 20, bottom 40 in top-down terms
    QCOMPARE(later->geometry(), QRect(45, 50, 30, 15));

    // Two controls tied to each other: resolving stops instead of recursing.
    auto *a = new QWidget(&view);
    auto *b = new QWidget(&view);
    a->setGeometry(0, 0, 10, 10);
    b->setGeometry(0, 0, 10, 10);
    constraints->tie(a, A::Left, b, A::Right, 1);
    constraints->tie(b, A::Left, a, A::Right, 1);
    view.resize(300, 100);
    QCOMPARE(later->geometry(), QRect(45, 50, 30, 15));
    QCOMPARE(a->width(), 10);
}

QTEST_MAIN(tst_LayoutConstraints)
#include "tst_layoutconstraints.moc"
