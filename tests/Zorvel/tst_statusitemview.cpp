// The tray icon's view: where the icon is drawn, when it is redrawn, the
// highlight, the click's dispatch and the icon's rectangle without a tray.
#include "StatusItem.h"
#include "StatusItemView.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(Size)
Q_DECLARE_METATYPE(Point)

namespace {
QPixmap solid(int width, int height, const QColor &colour)
{
    QPixmap pixmap(width, height);
    pixmap.fill(colour);
    return pixmap;
}

// The smallest rectangle holding every pixel that is not fully transparent.
QRect paintedBox(const QPixmap &picture)
{
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                box |= QRect(x, y, 1, 1);
    return box;
}

std::unique_ptr<StatusItemView> makeView()
{
    return std::make_unique<StatusItemView>(std::make_unique<StatusItem>(24));
}

// Receives the view's action as the application delegate or as its target does.
class Receiver : public QObject
{
    Q_OBJECT
public:
    QList<QObject *> senders;
    QList<std::optional<StatusItemEvent>> events;
    Q_INVOKABLE void togglePanel(QObject *sender)
    {
        senders.append(sender);
        events.append(StatusItemView::currentEvent());
    }
};
} // namespace

class tst_StatusItemView : public QObject
{
    Q_OBJECT
private slots:
    void iconIsCentred_data();
    void iconIsCentred();
    void redrawsOnlyOnVisibleChanges();
    void highlightShowsTheAlternateImage();
    void clickSendsTheAction();
    void globalRectWithoutTrayIsZero();
};

void tst_StatusItemView::iconIsCentred_data()
{
    QTest::addColumn<Size>("icon");
    QTest::addColumn<Point>("origin");
    QTest::newRow("17x15: 3.5 rounds to 4") << Size {17, 15} << Point {4, 4};
    QTest::newRow("16x16") << Size {16, 16} << Point {4, 3};
    QTest::newRow("22x22 tray glyph") << Size {22, 22} << Point {1, 0};
    QTest::newRow("larger than the view: negative, half away from zero") << Size {27, 25} << Point {-2, -2};
}

void tst_StatusItemView::iconIsCentred()
{
    QFETCH(Size, icon);
    QFETCH(Point, origin);
    auto view = makeView();
    QCOMPARE(view->frame(), (Rect {0, 0, 24, 22}));
    QCOMPARE(StatusItemView::iconOrigin(view->bounds().size(), icon), origin);

    // The picture the tray gets has the icon there, counted from the bottom.
    view->setImage(solid(int(icon.width), int(icon.height), Qt::black));
    const QRect expected(int(origin.x), int(22 - origin.y - icon.height), int(icon.width), int(icon.height));
    QCOMPARE(paintedBox(view->statusItem()->pixmap()), expected & QRect(0, 0, 24, 22));
}

void tst_StatusItemView::redrawsOnlyOnVisibleChanges()
{
    auto view = makeView();
    const QPixmap image = solid(16, 16, Qt::black);
    view->setImage(image);
    QSignalSpy displayed(view.get(), &StatusItemView::displayed);

    view->setImage(image);
    view->setAlternateImage(solid(16, 16, Qt::red));
    view->setHighlighted(false);
    QCOMPARE(displayed.count(), 0);

    view->setHighlighted(true);
    QCOMPARE(displayed.count(), 1);
    view->setAlternateImage(solid(16, 16, Qt::green));
    QCOMPARE(displayed.count(), 2);
    view->setHighlighted(true);
    QCOMPARE(displayed.count(), 2);
}

void tst_StatusItemView::highlightShowsTheAlternateImage()
{
    auto view = makeView();
    view->setImage(solid(16, 16, Qt::black));
    view->setAlternateImage(solid(16, 16, Qt::red));
    QCOMPARE(paintedBox(view->statusItem()->pixmap()), QRect(4, 3, 16, 16));

    view->setHighlighted(true);
    const QImage picture = view->statusItem()->pixmap().toImage();
    QCOMPARE(QColor(picture.pixel(12, 11)), QColor(Qt::red));
    // The highlight fills the view behind the icon.
    QCOMPARE(qAlpha(picture.pixel(1, 11)), 255);
    QCOMPARE(picture.pixelColor(1, 11), QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight));

    view->setHighlighted(false);
    QCOMPARE(qAlpha(view->statusItem()->pixmap().toImage().pixel(1, 11)), 0);
}

void tst_StatusItemView::clickSendsTheAction()
{
    auto view = makeView();
    Receiver delegate, target;
    qApp->setProperty(kApplicationDelegateProperty, QVariant::fromValue<QObject *>(&delegate));
    view->setAction("togglePanel");

    // Without a target the application's delegate gets it, with the click as
    // the current event only while the action runs.
    emit view->statusItem()->clicked(Qt::ShiftModifier | Qt::AltModifier);
    QCOMPARE(delegate.senders, QList<QObject *> {view.get()});
    QVERIFY(delegate.events.at(0).has_value());
    QVERIFY(delegate.events.at(0)->isLeftMouseDown);
    QCOMPARE(delegate.events.at(0)->modifiers, Qt::ShiftModifier | Qt::AltModifier);
    QVERIFY(!StatusItemView::currentEvent().has_value());

    view->setTarget(&target);
    view->mouseDown(Qt::NoModifier);
    QCOMPARE(target.senders.size(), 1);
    QCOMPARE(delegate.senders.size(), 1);
    qApp->setProperty(kApplicationDelegateProperty, QVariant());
}

void tst_StatusItemView::globalRectWithoutTrayIsZero()
{
    auto view = makeView();
    view->statusItem()->install(); // offscreen: no tray, so it waits for one
    QVERIFY(!view->statusItem()->isVisible());
    QCOMPARE(view->globalRect(), Rect {});
}

QTEST_MAIN(tst_StatusItemView)
#include "tst_statusitemview.moc"
