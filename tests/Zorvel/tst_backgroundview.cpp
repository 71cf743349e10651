// The panel's body: the outline's points in bottom-left coordinates, unclamped
// arrows, and the paint (fill inside, a 1-point opaque edge outside, clear beyond).
#include "BackgroundView.h"

#include <QPainter>
#include <QTest>

namespace {
// Path elements flattened to (type, x, y) for comparison with a table.
struct Element
{
    QPainterPath::ElementType type;
    double x, y;
    friend bool operator==(const Element &, const Element &) = default;
};

char *toString(const Element &e)
{
    return qstrdup(QStringLiteral("(%1: %2, %3)").arg(int(e.type)).arg(e.x).arg(e.y).toUtf8().constData());
}

QList<Element> elements(const QPainterPath &path)
{
    QList<Element> list;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        list.append({e.type, e.x, e.y});
    }
    return list;
}

constexpr auto M = QPainterPath::MoveToElement;
constexpr auto L = QPainterPath::LineToElement;
constexpr auto C = QPainterPath::CurveToElement;
constexpr auto D = QPainterPath::CurveToDataElement;

QImage render(const Rect &bounds, qint64 arrowX, const QColor &under = Qt::transparent)
{
    BackgroundView view;
    view.resize(int(bounds.width), int(bounds.height));
    view.setArrowX(arrowX);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(under);
    view.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// A pixel addressed in bottom-left coordinates (the pixel whose lower-left corner is x, y).
QColor pixelAt(const QImage &image, int x, int y)
{
    return image.pixelColor(x, image.height() - 1 - y);
}
} // namespace

class tst_BackgroundView : public QObject
{
    Q_OBJECT
private slots:
    void outlineOfTheOpenPanel();
    void arrowIsNotClamped_data();
    void arrowIsNotClamped();
    void paintKeepsFillAndEdgeApart();
    void tinyBoundsStillPaint();
};

void tst_BackgroundView::outlineOfTheOpenPanel()
{
    const QList<Element> expected = {
        {M, 160, 409}, // tip
        {L, 166, 401}, // arrow base, right
        {L, 313, 401}, // top edge
        {C, 319, 401}, {D, 319, 401}, {D, 319, 395}, // upper right corner
        {L, 319, 7}, // right edge
        {C, 319, 1},   {D, 319, 1},   {D, 313, 1}, // lower right corner
        {L, 7, 1}, // bottom edge
        {C, 1, 1},     {D, 1, 1},     {D, 1, 7}, // lower left corner
        {L, 1, 395}, // left edge
        {C, 1, 401},   {D, 1, 401},   {D, 7, 401}, // upper left corner
        {L, 154, 401}, // arrow base, left
        {L, 160, 409}, // closed back to the tip
    };
    QCOMPARE(elements(BackgroundView::outlinePath(Rect {0, 0, 320, 410}, 160)), expected);
}

void tst_BackgroundView::arrowIsNotClamped_data()
{
    QTest::addColumn<qint64>("arrowX");
    QTest::newRow("before the first placement") << qint64(0);
    QTest::newRow("over the right corner") << qint64(312);
    QTest::newRow("beyond the body") << qint64(1000);
    QTest::newRow("negative") << qint64(-40);
}

void tst_BackgroundView::arrowIsNotClamped()
{
    QFETCH(qint64, arrowX);
    BackgroundView view;
    view.setArrowX(arrowX);
    QCOMPARE(view.arrowX(), arrowX);
    const QPainterPath path = BackgroundView::outlinePath(Rect {0, 0, 320, 410}, arrowX);
    QCOMPARE(path.elementAt(0).x, double(arrowX));
    QCOMPARE(path.elementAt(1).x, double(arrowX + 6));
    QCOMPARE(path.elementAt(path.elementCount() - 2).x, double(arrowX - 6));
    QCOMPARE(path.elementAt(1).y, 401.0);
}

void tst_BackgroundView::paintKeepsFillAndEdgeApart()
{
    const QImage image = render(Rect {0, 0, 320, 410}, 160);
    const auto isFill = [](const QColor &c) {
        return c.red() == 255 && c.green() == 255 && c.blue() == 255 && qAbs(c.alpha() - 230) <= 1;
    };
    // Inside the body, also right next to the edge: the fill alone.
    QVERIFY(isFill(pixelAt(image, 160, 200)));
    QVERIFY(isFill(pixelAt(image, 318, 200)));
    QVERIFY(isFill(pixelAt(image, 1, 200)));
    QVERIFY(isFill(pixelAt(image, 160, 400)));
    QVERIFY(isFill(pixelAt(image, 160, 405))); // inside the arrow
    // Just outside the body: the opaque white edge.
    QCOMPARE(pixelAt(image, 319, 200), QColor(Qt::white));
    QCOMPARE(pixelAt(image, 0, 200), QColor(Qt::white));
    QCOMPARE(pixelAt(image, 160, 0), QColor(Qt::white));
    QCOMPARE(pixelAt(image, 100, 401), QColor(Qt::white));
    // Beyond the edge, beside the arrow: nothing.
    QCOMPARE(pixelAt(image, 100, 403).alpha(), 0);
    QCOMPARE(pixelAt(image, 300, 409).alpha(), 0);
}

void tst_BackgroundView::tinyBoundsStillPaint()
{
    // The size of the icon at the start of the opening: the outline folds over itself.
    const QImage image = render(Rect {0, 0, 24, 22}, 12, Qt::black);
    QCOMPARE(image.size(), QSize(24, 22));
    QVERIFY(pixelAt(image, 12, 11) != QColor(Qt::black));
}

QTEST_MAIN(tst_BackgroundView)
#include "tst_backgroundview.moc"
