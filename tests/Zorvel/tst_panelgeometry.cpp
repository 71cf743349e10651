// The panel's placement, arrow and opening pace as pure functions, with the
// worked numbers of a 1440-point wide screen, and the conversion to Qt geometry.
#include "PanelGeometry.h"

#include <QTest>

using namespace PanelGeometry;

Q_DECLARE_METATYPE(Rect)
Q_DECLARE_METATYPE(std::optional<Rect>)

namespace {
const Rect kScreen {0, 0, 1440, 900};
constexpr double kThickness = 22;
} // namespace

class tst_PanelGeometry : public QObject
{
    Q_OBJECT
private slots:
    void statusRect_data();
    void statusRect();
    void placement_data();
    void placement();
    void opening_data();
    void opening();
    void conversion_data();
    void conversion();
};

void tst_PanelGeometry::statusRect_data()
{
    QTest::addColumn<std::optional<Rect>>("icon");
    QTest::addColumn<Rect>("screen");
    QTest::addColumn<Rect>("expected");

    QTest::newRow("icon: lowered by its own height")
        << std::optional<Rect>(Rect {1000, 878, 24, 22}) << kScreen << Rect {1000, 856, 24, 22};
    QTest::newRow("no icon: centred under the bar") << std::optional<Rect>() << kScreen << Rect {708, 856, 24, 22};
    QTest::newRow("no icon: the half rounds away from zero")
        << std::optional<Rect>() << Rect {0, 0, 1441, 900} << Rect {709, 856, 24, 22};
    QTest::newRow("zero icon rectangle: unknown place, fallback")
        << std::optional<Rect>(Rect {}) << kScreen << Rect {708, 856, 24, 22};
}

void tst_PanelGeometry::statusRect()
{
    QFETCH(std::optional<Rect>, icon);
    QFETCH(Rect, screen);
    QFETCH(Rect, expected);
    QCOMPARE(PanelGeometry::statusRect(icon, screen, kThickness), expected);
}

void tst_PanelGeometry::placement_data()
{
    QTest::addColumn<Rect>("status");
    QTest::addColumn<Rect>("panel");
    QTest::addColumn<qint64>("arrow");

    QTest::newRow("worked example") << Rect {1000, 856, 24, 22} << Rect {852, 468, 320, 410} << qint64(160);
    QTest::newRow("centre at 1400: right edge kept at 1432")
        << Rect {1388, 856, 24, 22} << Rect {1112, 468, 320, 410} << qint64(288);
    QTest::newRow("right edge exactly on the margin: not moved")
        << Rect {1260, 856, 24, 22} << Rect {1112, 468, 320, 410} << qint64(160);
    QTest::newRow("left edge: no correction") << Rect {0, 856, 24, 22} << Rect {-148, 468, 320, 410} << qint64(160);
    QTest::newRow("tray at the bottom: above the icon, not below the screen")
        << Rect {1000, -22, 24, 22} << Rect {852, 22, 320, 410} << qint64(160);
    QTest::newRow("icon just high enough: still below it")
        << Rect {1000, 388, 24, 22} << Rect {852, 0, 320, 410} << qint64(160);
    QTest::newRow("odd icon width: both centres round up")
        << Rect {1000, 856, 23, 22} << Rect {852, 468, 320, 410} << qint64(160);
}

void tst_PanelGeometry::placement()
{
    QFETCH(Rect, status);
    QFETCH(Rect, panel);
    QFETCH(qint64, arrow);
    const Rect placed = panelFrame(status, kScreen);
    QCOMPARE(placed, panel);
    QCOMPARE(arrowX(status, placed.x), arrow);
    // At the start of the opening the window is the status rectangle itself:
    // the tip sits at the icon's (rounded) centre.
    QCOMPARE(arrowX(status, status.x), qint64(12));
}

void tst_PanelGeometry::opening_data()
{
    QTest::addColumn<bool>("leftClick");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("durationMs");
    QTest::addColumn<bool>("logs");

    const auto shift = Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("plain click") << true << Qt::KeyboardModifiers() << 150 << false;
    QTest::newRow("Shift") << true << shift << 1500 << false;
    QTest::newRow("Shift+Alt: slow and logged") << true << (shift | Qt::AltModifier) << 1500 << true;
    QTest::newRow("Shift+Control") << true << (shift | Qt::ControlModifier) << 150 << false;
    QTest::newRow("Shift+Alt+Meta") << true << (shift | Qt::AltModifier | Qt::MetaModifier) << 150 << false;
    QTest::newRow("Shift with the keypad flag") << true << (shift | Qt::KeypadModifier) << 150 << false;
    QTest::newRow("Alt alone") << true << Qt::KeyboardModifiers(Qt::AltModifier) << 150 << false;
    QTest::newRow("Shift, but not a click") << false << shift << 150 << false;
    QTest::newRow("Shift+Alt, but not a click") << false << (shift | Qt::AltModifier) << 150 << false;
}

void tst_PanelGeometry::opening()
{
    QFETCH(bool, leftClick);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, durationMs);
    QFETCH(bool, logs);
    QCOMPARE(PanelGeometry::opening(leftClick, modifiers), (Opening {durationMs, logs}));
}

void tst_PanelGeometry::conversion_data()
{
    QTest::addColumn<QRect>("primary");
    QTest::addColumn<Rect>("frame");
    QTest::addColumn<QRect>("qt");

    QTest::newRow("open panel under a top bar")
        << QRect(0, 0, 1440, 900) << Rect {852, 468, 320, 410} << QRect(852, 22, 320, 410);
    QTest::newRow("tray icon in the top-right corner")
        << QRect(0, 0, 1440, 900) << Rect {1416, 876, 24, 24} << QRect(1416, 0, 24, 24);
    QTest::newRow("primary screen not at Qt's origin")
        << QRect(100, 50, 1440, 900) << Rect {852, 468, 320, 410} << QRect(952, 72, 320, 410);
    QTest::newRow("below the primary screen (negative y)")
        << QRect(0, 0, 1440, 900) << Rect {0, -200, 100, 100} << QRect(0, 1000, 100, 100);
}

void tst_PanelGeometry::conversion()
{
    QFETCH(QRect, primary);
    QFETCH(Rect, frame);
    QFETCH(QRect, qt);
    QCOMPARE(toQtScreen(frame, primary), qt);
    QCOMPARE(fromQtScreen(QRectF(qt), primary), frame);
    QCOMPARE(screenFrame(primary), (Rect {0, 0, 1440, 900}));
}

QTEST_APPLESS_MAIN(tst_PanelGeometry)
#include "tst_panelgeometry.moc"
