// Tests of the type tile and the icons behind it: the tile's layout, its image
// view, the images every demo type names, and a 2x PNG of a few tiles.
#include "ActivityTypeViewCell.h"

#include "Images.h"
#include "QColor+Extension.h"
#include "QImage+Extension.h"
#include "TextView.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString pngDirectory()
{
    const QString path = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(u"../png"_s);
    QDir().mkpath(path);
    return path;
}

// Fills a tile the way the activities screen does.
void fill(ActivityTypeViewCell &tile, const QString &name, const QString &count, const QString &imageId, quint64 color)
{
    tile.typeLabel()->setString(name);
    tile.childrenCountLabel()->setString(count);
    tile.setTypeImage(imageId.isEmpty() ? std::nullopt
                                        : Extension::imageTintedWithColor(Images::image(imageId, {}, 2),
                                                                          Extension::colorWithRGB(color)));
}

} // namespace

class tst_ActivityTypeViewCell : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        QWidget parent;
        parent.resize(300, 300);
        ActivityTypeViewCell tile({7, 11, 320, 50}, &parent);
        QCOMPARE(Geometry::frame(&tile), (Rect {7, 11, 53, 53}));

        const struct
        {
            QWidget *view;
            Rect frame;
        } expected[] = {
            {tile.typeLabel(), {0, 0, 50, 15}},
            {tile.childrenCountLabel(), {0, 35, 50, 15}},
            {tile.typeImageView(), {0, 15, 50, 35}},
        };
        for (const auto &[view, frame] : expected) {
            QCOMPARE(view->parentWidget(), &tile); // on the tile itself, not in a content view
            QCOMPARE(Geometry::frame(view), frame);
        }
        // Stacked in the order made: the image view lies above the count label.
        const QObjectList order = tile.children();
        QVERIFY(order.indexOf(tile.childrenCountLabel()) > order.indexOf(tile.typeLabel()));
        QVERIFY(order.indexOf(tile.typeImageView()) > order.indexOf(tile.childrenCountLabel()));

        QVERIFY(tile.typeLabel()->alignment() & Qt::AlignHCenter);
        QVERIFY(tile.childrenCountLabel()->alignment() & Qt::AlignRight);
        QCOMPARE(tile.typeLabel()->font().pixelSize(), 12);
        QCOMPARE(tile.childrenCountLabel()->font().pixelSize(), 12);
        // A click anywhere on the tile is the tile's, so that the collection view selects it.
        QVERIFY(tile.typeLabel()->testAttribute(Qt::WA_TransparentForMouseEvents));
        QVERIFY(tile.typeImageView()->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    void namesAreShownAsPlainText()
    {
        ActivityTypeViewCell tile;
        tile.typeLabel()->setString(u"<b>R&D</b>"_s);
        QCOMPARE(tile.typeLabel()->textFormat(), Qt::PlainText);
    }

    void imageView()
    {
        ActivityTypeViewCell tile;
        tile.setTypeImage(Images::image(u"folder"_s, {}, 2));
        QCOMPARE(tile.typeImageView()->pixmap().deviceIndependentSize(), QSizeF(35, 35));
        QCOMPARE(tile.typeImageView()->pixmap().devicePixelRatio(), 2.0);
        QImage wide(100, 20, QImage::Format_ARGB32_Premultiplied);
        wide.fill(Qt::black);
        tile.setTypeImage(wide);
        QCOMPARE(tile.typeImageView()->pixmap().deviceIndependentSize(), QSizeF(50, 10));
        // Reused for "Go back" or a type whose image is missing: nothing stale remains.
        tile.setTypeImage(std::nullopt);
        QVERIFY(tile.typeImageView()->pixmap().isNull());
        tile.setTypeImage(Images::image(u"no such image"_s));
        QVERIFY(tile.typeImageView()->pixmap().isNull());
    }

    // Type images are tinted with source-atop, which keeps only their opacity:
    // each must be drawn opaque on clear, or its type would show as a blob or nothing.
    void typeImagesAreTintable_data()
    {
        QTest::addColumn<QString>("imageId");
        for (const char *id : {"work", "meeting", "email", "phone", "code", "design", "reading", "writing", "travel",
                               "lunch", "sport", "study", "folder"})
            QTest::newRow(id) << QString::fromLatin1(id);
    }
    void typeImagesAreTintable()
    {
        QFETCH(QString, imageId);
        const std::optional<QImage> image = Images::image(imageId, {}, 2);
        QVERIFY(image);
        QCOMPARE(image->deviceIndependentSize(), QSizeF(35, 35));
        qsizetype opaque = 0, clear = 0;
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x) {
                const int alpha = qAlpha(image->pixel(x, y));
                opaque += alpha == 255;
                clear += alpha == 0;
            }
        const qsizetype pixels = qsizetype(image->width()) * image->height();
        QVERIFY2(opaque > pixels / 10, "too little of the glyph is solid");
        QVERIFY2(clear > pixels / 4, "too little of the background is clear");
        for (const QPoint corner : {QPoint(0, 0), QPoint(image->width() - 1, image->height() - 1)})
            QCOMPARE(qAlpha(image->pixel(corner)), 0);
    }

    // The other images the program names, at the sizes it draws them.
    void programImages_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("statusItem") << u"statusItem"_s << QSize(22, 22);
        QTest::newRow("statusItemHighlighted") << u"statusItemHighlighted"_s << QSize(22, 22);
        QTest::newRow("pause") << u"pause@2x.png"_s << QSize(46, 46);
        QTest::newRow("resume") << u"resume@2x.png"_s << QSize(46, 46);
        QTest::newRow("stop") << u"stop@2x.png"_s << QSize(46, 46);
    }
    void programImages()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const std::optional<QImage> image = Images::image(name, {}, 2);
        QVERIFY(image);
        QCOMPARE(image->deviceIndependentSize(), QSizeF(size));
        QCOMPARE(image->size(), size * 2);
    }

    // A group with its count, two plain types and "Go back", and every type icon
    // tinted, at 2x for a person to look at.
    void renderTilesAt2x()
    {
        const struct
        {
            const char *name, *count, *imageId;
            quint64 color;
        } tiles[] = {
            {"Go back", "", "", 0},
            {"Projects", "3", "folder", 0xe67e22},
            {"Code", "", "code", 0x2e86c1},
            {"Meeting", "", "meeting", 0xc0392b},
            {"Reading", "", "reading", 0x27ae60},
        };
        const char *icons[] = {"work",    "meeting", "email", "phone", "code",  "design", "reading",
                               "writing", "travel",  "lunch", "sport", "study", "folder"};
        const quint64 colors[] = {0x34495e, 0xc0392b, 0x8e44ad, 0x16a085, 0x2e86c1, 0xd35400, 0x27ae60,
                                  0x7f8c8d, 0x2980b9, 0xf39c12, 0xe74c3c, 0x2c3e50, 0xe67e22};

        // Tiles sit in rows 58 points apart, as the flow layout spaces them.
        const int columns = 7;
        QWidget sheet;
        sheet.resize(columns * 58 + 5, 3 * 58 + 5);
        sheet.setAutoFillBackground(true);
        QPalette palette = sheet.palette();
        palette.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf4));
        sheet.setPalette(palette);
        std::vector<std::unique_ptr<ActivityTypeViewCell>> made;
        auto place = [&](int index) {
            const int row = index / columns, column = index % columns;
            made.push_back(std::make_unique<ActivityTypeViewCell>(
                Rect {5.0 + column * 58, sheet.height() - 58.0 * (row + 1), 53, 53}, &sheet));
            return made.back().get();
        };
        int index = 0;
        for (const auto &t : tiles)
            fill(*place(index++), QString::fromLatin1(t.name), QString::fromLatin1(t.count),
                 QString::fromLatin1(t.imageId), t.color);
        index = columns;
        for (size_t i = 0; i < std::size(icons); ++i)
            fill(*place(index++), QString::fromLatin1(icons[i]), QString(), QString::fromLatin1(icons[i]), colors[i]);
        sheet.show();

        QPixmap pixmap(sheet.size() * 2);
        pixmap.setDevicePixelRatio(2);
        pixmap.fill(Qt::transparent);
        sheet.render(&pixmap);
        const QString path = pngDirectory() + u"/type-tiles.png"_s;
        QVERIFY(pixmap.save(path));
        qInfo("wrote %s", qPrintable(path));

        // "Go back" shows no image: its image area keeps the background; "Projects" shows its folder.
        const QImage image = pixmap.toImage();
        auto imageAreaHasInk = [&](int column) {
            const int left = 2 * (5 + column * 58), top = 2 * 5 + 2 * 3; // first row, below the count label's top
            for (int y = top; y < top + 2 * 30; ++y)
                for (int x = left; x < left + 2 * 50; ++x)
                    if (image.pixelColor(x, y) != QColor(0xf4, 0xf4, 0xf4))
                        return true;
            return false;
        };
        QVERIFY(!imageAreaHasInk(0));
        QVERIFY(imageAreaHasInk(1));
    }
};

QTEST_MAIN(tst_ActivityTypeViewCell)
#include "tst_activitytypeviewcell.moc"
