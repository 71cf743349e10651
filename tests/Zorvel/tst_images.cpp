// Images by name: vector images rendered at the pixel ratio asked for, names
// that keep a bitmap suffix, and names with no image behind them.
#include "Images.h"

#include <QGuiApplication>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Images : public QObject
{
    Q_OBJECT
private slots:
    void rendersAtThePixelRatio_data();
    void rendersAtThePixelRatio();
    void missingNames_data();
    void missingNames();
};

void tst_Images::rendersAtThePixelRatio_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("points");
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("tray icon, 1x") << u"statusItem"_s << QSize(22, 22) << 1.0;
    QTest::newRow("tray icon, 2x") << u"statusItem"_s << QSize(22, 22) << 2.0;
    QTest::newRow("name with a bitmap suffix") << u"pause@2x.png"_s << QSize(16, 16) << 2.0;
    QTest::newRow("fractional ratio") << u"work"_s << QSize(40, 40) << 1.5;
}

void tst_Images::rendersAtThePixelRatio()
{
    QFETCH(QString, name);
    QFETCH(QSize, points);
    QFETCH(qreal, ratio);
    const std::optional<QImage> image = Images::image(name, points, ratio);
    QVERIFY(image);
    QCOMPARE(image->size(), points * ratio);
    QCOMPARE(image->devicePixelRatio(), ratio);
    QCOMPARE(image->deviceIndependentSize(), QSizeF(points));
    // Something was drawn, and the background stays clear.
    bool drawn = false;
    for (int y = 0; y < image->height() && !drawn; ++y)
        for (int x = 0; x < image->width() && !drawn; ++x)
            drawn = qAlpha(image->pixel(x, y)) == 255;
    QVERIFY(drawn);

    const std::optional<QPixmap> pixmap = Images::pixmap(name, points, ratio);
    QVERIFY(pixmap);
    QCOMPARE(pixmap->size(), points * ratio);
    QCOMPARE(pixmap->devicePixelRatio(), ratio);
    // Without a size the image's own size is used.
    QVERIFY(!Images::image(name)->isNull());
}

void tst_Images::missingNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("unknown") << u"no-such-image"_s;
    QTest::newRow("with the svg suffix") << u"statusItem.svg"_s;
    QTest::newRow("outside the images") << u"../images/statusItem"_s;
}

void tst_Images::missingNames()
{
    QFETCH(QString, name);
    QVERIFY(!Images::image(name, QSize(16, 16), 1));
    QVERIFY(!Images::pixmap(name, QSize(16, 16), 1));
}

QTEST_MAIN(tst_Images)
#include "tst_images.moc"
