// Tests of the small extensions: flattening type trees (cycles included),
// colours from packed numbers, and tinting icons.
#include "QColor+Extension.h"
#include "QImage+Extension.h"
#include "QList+Extension.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Builds types from "A,G1(B,G2(C)),D": a name followed by "(…)" is a group
// with those children, "()" a group with children absent, "[]" a group with
// an empty list.
QList<ActivityTypePtr> build(QStringView outline, qsizetype &at)
{
    QList<ActivityTypePtr> list;
    while (at < outline.size() && outline[at] != u')') {
        qsizetype end = at;
        while (end < outline.size() && !QStringView(u",()[").contains(outline[end]))
            ++end;
        const QString name = outline.mid(at, end - at).toString();
        at = end;
        ActivityTypePtr type;
        if (at < outline.size() && outline[at] == u'[') {
            auto group = std::make_shared<ActivityTypeGroup>();
            group->setChildren(QList<ActivityTypePtr>());
            at += 2;
            type = group;
        } else if (at < outline.size() && outline[at] == u'(') {
            auto group = std::make_shared<ActivityTypeGroup>();
            ++at;
            QList<ActivityTypePtr> children = build(outline, at);
            ++at; // ')'
            if (!children.isEmpty())
                group->setChildren(children);
            type = group;
        } else {
            type = std::make_shared<ActivityType>();
        }
        type->setName(name);
        list.append(type);
        if (at < outline.size() && outline[at] == u',')
            ++at;
    }
    return list;
}

QList<ActivityTypePtr> build(const QString &outline)
{
    qsizetype at = 0;
    return build(outline, at);
}

QString names(const QList<ActivityTypePtr> &types)
{
    QStringList names;
    for (const ActivityTypePtr &type : types)
        names.append(type->name());
    return names.join(u',');
}

std::shared_ptr<ActivityTypeGroup> group(const QString &name)
{
    auto group = std::make_shared<ActivityTypeGroup>();
    group->setName(name);
    return group;
}

ActivityTypePtr plain(const QString &name)
{
    auto type = std::make_shared<ActivityType>();
    type->setName(name);
    return type;
}

// 16 × 16: transparent 3-pixel corners, a half-transparent ring, and an opaque
// many-coloured middle.
QImage icon(QImage::Format format)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool corner = (x < 3 || x > 12) && (y < 3 || y > 12);
            const bool ring = x == 0 || y == 0 || x == 15 || y == 15;
            const int alpha = corner ? 0 : ring ? 128 : 255;
            image.setPixelColor(x, y, QColor(x * 16, y * 16, 200, alpha));
        }
    }
    return image.convertToFormat(format);
}

} // namespace

class tst_Extensions : public QObject
{
    Q_OBJECT

private slots:
    void flatten_data();
    void flatten();
    void flattenEndsOnCycles();
    void flattenDeepNesting();
    void colorWithRGB_data();
    void colorWithRGB();
    void tint_data();
    void tint();
    void tintWithoutColorIsUnchangedCopy();
    void tintOfAbsentImageIsAbsent();
};

void tst_Extensions::flatten_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("expected");

    QTest::newRow("pre-order") << u"A,G1(B,G2(C)),D"_s << u"A,G1,B,G2,C,D"_s;
    QTest::newRow("empty") << u""_s << u""_s;
    QTest::newRow("absent and empty children") << u"A,G(),H[],B"_s << u"A,G,H,B"_s;
    QTest::newRow("deep first child") << u"G1(G2(G3(X)),Y),Z"_s << u"G1,G2,G3,X,Y,Z"_s;
    QTest::newRow("duplicate names kept") << u"A,A,G(A)"_s << u"A,A,G,A"_s;
}

void tst_Extensions::flatten()
{
    QFETCH(QString, tree);
    QFETCH(QString, expected);
    QCOMPARE(names(Extension::flatten(build(tree))), expected);
}

void tst_Extensions::flattenEndsOnCycles()
{
    // A group inside itself, and a loop through two groups: listed again where
    // they recur, never entered twice on one path.
    auto self = group(u"S"_s);
    self->setChildren(QList<ActivityTypePtr> {plain(u"A"_s), self, plain(u"B"_s)});
    QCOMPARE(names(Extension::flatten({self})), u"S,A,S,B"_s);

    auto g1 = group(u"G1"_s);
    auto g2 = group(u"G2"_s);
    g1->setChildren(QList<ActivityTypePtr> {plain(u"A"_s), g2});
    g2->setChildren(QList<ActivityTypePtr> {g1, plain(u"B"_s)});
    QCOMPARE(names(Extension::flatten({g1, plain(u"C"_s), g2})), u"G1,A,G2,G1,B,C,G2,G1,A,G2,B"_s);

    // Shared but not cyclic: walked in full wherever it sits.
    auto shared = group(u"X"_s);
    shared->setChildren(QList<ActivityTypePtr> {plain(u"Y"_s)});
    auto h1 = group(u"H1"_s);
    auto h2 = group(u"H2"_s);
    h1->setChildren(QList<ActivityTypePtr> {shared});
    h2->setChildren(QList<ActivityTypePtr> {shared, shared});
    QCOMPARE(names(Extension::flatten({h1, h2})), u"H1,X,Y,H2,X,Y,X,Y"_s);

    self->setChildren(std::nullopt); // break the loops so nothing leaks
    g1->setChildren(std::nullopt);
}

void tst_Extensions::flattenDeepNesting()
{
    constexpr int depth = 100'000;
    auto root = group(u"0"_s);
    auto current = root;
    for (int i = 1; i < depth; ++i) {
        auto next = group(QString::number(i));
        current->setChildren(QList<ActivityTypePtr> {next});
        current = next;
    }
    current.reset();
    const QList<ActivityTypePtr> flat = Extension::flatten({root});
    QCOMPARE(flat.size(), depth);
    QCOMPARE(flat.first()->name(), u"0"_s);
    QCOMPARE(flat.last()->name(), QString::number(depth - 1));
}

void tst_Extensions::colorWithRGB_data()
{
    QTest::addColumn<quint64>("rgb");
    QTest::addColumn<float>("red");
    QTest::addColumn<float>("green");
    QTest::addColumn<float>("blue");

    QTest::newRow("0 is black") << quint64(0) << 0.0f << 0.0f << 0.0f;
    QTest::newRow("blue byte") << quint64(0x0000FF) << 0.0f << 0.0f << 1.0f;
    QTest::newRow("orange") << quint64(0xFF8000) << 1.0f << 128 / 255.0f << 0.0f;
    QTest::newRow("white") << quint64(0xFFFFFF) << 1.0f << 1.0f << 1.0f;
    QTest::newRow("bytes apart") << quint64(0x123456) << 0x12 / 255.0f << 0x34 / 255.0f << 0x56 / 255.0f;
    QTest::newRow("2^24 clamps red") << quint64(0x1000000) << 1.0f << 0.0f << 0.0f;
    QTest::newRow("above 2^24 keeps green and blue") << quint64(0x1234567) << 1.0f << 0x45 / 255.0f << 0x67 / 255.0f;
    QTest::newRow("largest value") << std::numeric_limits<quint64>::max() << 1.0f << 1.0f << 1.0f;
}

void tst_Extensions::colorWithRGB()
{
    QFETCH(quint64, rgb);
    QFETCH(float, red);
    QFETCH(float, green);
    QFETCH(float, blue);

    const QColor color = Extension::colorWithRGB(rgb);
    QVERIFY(color.isValid());
    QCOMPARE(color.spec(), QColor::Rgb);
    QCOMPARE(color.redF(), red);
    QCOMPARE(color.greenF(), green);
    QCOMPARE(color.blueF(), blue);
    QCOMPARE(color.alphaF(), 1.0f);
}

void tst_Extensions::tint_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QColor>("color");

    QTest::newRow("ARGB32, red") << icon(QImage::Format_ARGB32) << QColor(255, 0, 0);
    QTest::newRow("premultiplied, type colour")
        << icon(QImage::Format_ARGB32_Premultiplied) << Extension::colorWithRGB(0x336699);
    QTest::newRow("opaque RGB32: all of it") << icon(QImage::Format_RGB32) << QColor(0, 128, 0);
}

void tst_Extensions::tint()
{
    QFETCH(QImage, source);
    QFETCH(QColor, color);
    const QImage before = source.copy();

    const std::optional<QImage> tinted = Extension::imageTintedWithColor(source, color);
    QVERIFY(tinted);
    QCOMPARE(tinted->size(), source.size());
    QCOMPARE(source, before);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QColor want = source.pixelColor(x, y);
            const QColor got = tinted->pixelColor(x, y);
            QCOMPARE(got.alpha(), want.alpha());
            if (want.alpha() == 0)
                continue;
            // Half-transparent pixels lose a little precision to premultiplication.
            const int slack = want.alpha() == 255 ? 0 : 2;
            QVERIFY2(qAbs(got.red() - color.red()) <= slack && qAbs(got.green() - color.green()) <= slack
                         && qAbs(got.blue() - color.blue()) <= slack,
                     qPrintable(u"pixel %1,%2 is %3"_s.arg(x).arg(y).arg(got.name(QColor::HexArgb))));
        }
    }
}

void tst_Extensions::tintWithoutColorIsUnchangedCopy()
{
    const QImage source = icon(QImage::Format_ARGB32);
    for (const std::optional<QColor> &none : {std::optional<QColor>(), std::optional<QColor>(QColor())}) {
        std::optional<QImage> copy = Extension::imageTintedWithColor(source, none);
        QVERIFY(copy);
        QCOMPARE(*copy, source);
        copy->fill(Qt::black); // the copy is the caller's own
        QCOMPARE(source.pixelColor(8, 8).alpha(), 255);
        QVERIFY(source.pixelColor(8, 8) != QColor(Qt::black));
    }
}

void tst_Extensions::tintOfAbsentImageIsAbsent()
{
    QVERIFY(!Extension::imageTintedWithColor(std::nullopt, QColor(Qt::red)));
    QVERIFY(!Extension::imageTintedWithColor(std::nullopt, std::nullopt));
}

QTEST_GUILESS_MAIN(tst_Extensions)
#include "tst_extensions.moc"
