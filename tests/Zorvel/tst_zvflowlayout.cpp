// Row breaking, alignment, sections, rectangle queries and arrow-key moves of the
// flow layout, prepared inside a real collection view of a chosen width.
#include "CollectionView.h"
#include "ZVFlowLayout.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

char *toString(const Rect &rect)
{
    return qstrdup(rect.toString().toUtf8().constData());
}
char *toString(const IndexPath &path)
{
    return qstrdup(QStringLiteral("(%1, %2)").arg(path.section).arg(path.item).toUtf8().constData());
}

struct SectionItems
{
    QList<Size> items;
    double header = 0;
    double footer = 0;
};
using Sections = QList<SectionItems>;
using OptionalPath = std::optional<IndexPath>;
Q_DECLARE_METATYPE(Sections)
Q_DECLARE_METATYPE(OptionalPath)

namespace {

QList<Size> repeated(Size size, int count)
{
    return QList<Size>(count, size);
}

// Host of the layout: a collection view of a chosen size inside a shown window.
class Fixture final : public CollectionViewDataSource, public ZVFlowLayoutDelegate
{
public:
    Fixture(double width, Sections sections, double height = 399)
        : m_sections(std::move(sections))
    {
        m_window.resize(400, 500);
        m_view = new CollectionView(&m_window);
        m_view->setGeometry(0, 0, int(width), int(height));
        m_view->setDataSource(this);
        m_layout.setDelegate(this);
        m_view->setCollectionViewLayout(&m_layout);
        m_view->registerClass<CollectionViewCell>(u"Cell"_s);
        m_window.show();
    }
    ~Fixture() override { m_view->setCollectionViewLayout(nullptr); }

    ZVFlowLayout &layout() { return m_layout; }
    CollectionView &view() { return *m_view; }
    Rect frame(qint64 section, qint64 item) const
    {
        return m_layout.layoutAttributesForItemAtIndexPath(IndexPath {section, item}).frame;
    }

    qint64 numberOfSectionsInCollectionView(CollectionView *) override { return m_sections.size(); }
    qint64 numberOfItemsInSection(CollectionView *, qint64 section) override
    {
        return m_sections.at(section).items.size();
    }
    CollectionViewCell *cellForItemAtIndexPath(CollectionView *cv, const IndexPath &path) override
    {
        return cv->dequeueReusableCellWithIdentifier(u"Cell"_s, path);
    }
    Size sizeForItemAtIndexPath(CollectionView *, const IndexPath &path) override
    {
        return m_sections.at(path.section).items.at(path.item);
    }
    double heightForHeaderInSection(CollectionView *, qint64 section) override { return m_sections.at(section).header; }
    double heightForFooterInSection(CollectionView *, qint64 section) override { return m_sections.at(section).footer; }

private:
    Sections m_sections;
    QWidget m_window;
    CollectionView *m_view = nullptr;
    ZVFlowLayout m_layout;
};

// What a child process started by assertions() does before it should have died.
int runChild(const QString &what)
{
    Fixture fixture(320, {{repeated({53, 53}, 3)}});
    if (what == "noDelegate"_L1) {
        fixture.layout().setDelegate(nullptr);
        fixture.layout().prepareLayout();
    } else if (what == "noIndexPath"_L1) {
        fixture.layout().layoutAttributesForItemAtIndexPath(std::nullopt);
    } else if (what == "badDirection"_L1) {
        fixture.layout().indexPathForNextItemInDirection(4, {0, 0});
    }
    return 0;
}

} // namespace

class TestZVFlowLayout : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void rowBreaks_data();
    void rowBreaks();
    void alignment_data();
    void alignment();
    void sections_data();
    void sections();
    void supplementaryFrames();
    void itemsInRect_data();
    void itemsInRect();
    void navigation_data();
    void navigation();
    void assertions_data();
    void assertions();
};

void TestZVFlowLayout::defaults()
{
    ZVFlowLayout layout;
    QCOMPARE(layout.minimumLineSpacing(), 10.0);
    QCOMPARE(layout.minimumInterItemSpacing(), 10.0);
    QCOMPARE(layout.alignment(), ZVFlowLayoutAlignmentTop);
    QVERIFY(layout.sections().isEmpty());
    QCOMPARE(ZVFlowLayoutHeaderKind, u"ZVFlowLayoutHeaderKind"_s);
    QCOMPARE(ZVFlowLayoutFooterKind, u"ZVFlowLayoutFooterKind"_s);

    Fixture empty(320, {});
    QCOMPARE(empty.view().contentSize().width, 320.0);
    empty.layout().prepareLayout();
    QVERIFY(empty.layout().sections().isEmpty());
    QVERIFY(empty.layout().indexPathsForItemsInRect({-1000, -1000, 5000, 5000}).isEmpty());
}

void TestZVFlowLayout::rowBreaks_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("lineSpacing");
    QTest::addColumn<double>("interItemSpacing");
    QTest::addColumn<QList<Size>>("sizes");
    QTest::addColumn<QList<Rect>>("frames");
    QTest::addColumn<double>("height");

    QTest::newRow("five tiles a row") << 320.0 << 10.0 << 10.0 << repeated({53, 53}, 7)
                                      << QList<Rect> {{0, 0, 53, 53},   {63, 0, 53, 53},  {126, 0, 53, 53},
                                                      {189, 0, 53, 53}, {252, 0, 53, 53}, {0, 63, 53, 53},
                                                      {63, 63, 53, 53}}
                                      << 116.0;
    QTest::newRow("activity rows") << 320.0 << 10.0 << 10.0 << repeated({320, 50}, 3)
                                   << QList<Rect> {{0, 0, 320, 50}, {0, 60, 320, 50}, {0, 120, 320, 50}} << 170.0;
    QTest::newRow("exact fit stays") << 320.0 << 10.0 << 10.0 << QList<Size> {{150, 20}, {160, 20}}
                                     << QList<Rect> {{0, 0, 150, 20}, {160, 0, 160, 20}} << 20.0;
    QTest::newRow("one over breaks") << 319.0 << 10.0 << 10.0 << QList<Size> {{150, 20}, {160, 20}}
                                     << QList<Rect> {{0, 0, 150, 20}, {0, 30, 160, 20}} << 50.0;
    QTest::newRow("wide first items") << 100.0 << 10.0 << 10.0 << QList<Size> {{150, 20}, {150, 20}, {50, 20}}
                                      << QList<Rect> {{0, 10, 150, 20}, {0, 40, 150, 20}, {0, 70, 50, 20}} << 90.0;
    QTest::newRow("wide item mid row") << 100.0 << 10.0 << 10.0 << QList<Size> {{40, 20}, {150, 30}, {40, 20}}
                                       << QList<Rect> {{0, 0, 40, 20}, {0, 30, 150, 30}, {0, 70, 40, 20}} << 90.0;
    QTest::newRow("width zero") << 0.0 << 10.0 << 10.0 << repeated({10, 10}, 2)
                                << QList<Rect> {{0, 10, 10, 10}, {0, 30, 10, 10}} << 40.0;
    QTest::newRow("own spacings") << 100.0 << 5.0 << 0.0 << QList<Size> {{50, 10}, {50, 10}, {50, 10}}
                                  << QList<Rect> {{0, 0, 50, 10}, {50, 0, 50, 10}, {0, 15, 50, 10}} << 25.0;
    QTest::newRow("tallest item sets the row") << 100.0 << 10.0 << 10.0 << QList<Size> {{40, 20}, {40, 35}, {40, 5}}
                                               << QList<Rect> {{0, 0, 40, 20}, {50, 0, 40, 35}, {0, 45, 40, 5}} << 50.0;
}

void TestZVFlowLayout::rowBreaks()
{
    QFETCH(double, width);
    QFETCH(double, lineSpacing);
    QFETCH(double, interItemSpacing);
    QFETCH(QList<Size>, sizes);
    QFETCH(QList<Rect>, frames);
    QFETCH(double, height);

    Fixture fixture(width, {{sizes}});
    QCOMPARE(fixture.view().contentSize().width, width);
    fixture.layout().setMinimumLineSpacing(lineSpacing);
    fixture.layout().setMinimumInterItemSpacing(interItemSpacing);
    fixture.layout().prepareLayout();

    QCOMPARE(fixture.layout().sections().size(), 1);
    const ZVFlowLayoutSection &section = *fixture.layout().sections().first();
    QCOMPARE(section.numberOfItems(), sizes.size());
    QCOMPARE(section.height(), height);
    for (qsizetype j = 0; j < frames.size(); ++j)
        QCOMPARE(fixture.frame(0, j), frames.at(j));
}

void TestZVFlowLayout::alignment_data()
{
    QTest::addColumn<qint64>("alignment");
    QTest::addColumn<double>("shift");

    QTest::newRow("top") << ZVFlowLayoutAlignmentTop << 0.0;
    QTest::newRow("center") << ZVFlowLayoutAlignmentCenter << 10.0;
    QTest::newRow("bottom") << ZVFlowLayoutAlignmentBottom << 20.0;
    QTest::newRow("other positive as center") << qint64(7) << 10.0;
    QTest::newRow("negative as center") << qint64(-1) << 10.0;
}

void TestZVFlowLayout::alignment()
{
    QFETCH(qint64, alignment);
    QFETCH(double, shift);

    // Two rows of a tall and a short item; the second row is the section's last.
    Fixture fixture(100, {{{{40, 50}, {40, 30}, {40, 30}, {40, 50}}}});
    fixture.layout().setAlignment(alignment);
    fixture.layout().prepareLayout();

    QCOMPARE(fixture.frame(0, 0), (Rect {0, 0, 40, 50}));
    QCOMPARE(fixture.frame(0, 1), (Rect {50, shift, 40, 30}));
    QCOMPARE(fixture.frame(0, 2), (Rect {0, 60 + shift, 40, 30}));
    QCOMPARE(fixture.frame(0, 3), (Rect {50, 60, 40, 50}));
    QCOMPARE(fixture.layout().sections().first()->height(), 110.0);
}

void TestZVFlowLayout::sections_data()
{
    QTest::addColumn<Sections>("sections");
    QTest::addColumn<QList<double>>("offsets");
    QTest::addColumn<QList<double>>("heights");
    QTest::addColumn<Rect>("firstItemOfLastSection");

    QTest::newRow("stacked without spacing")
        << Sections {{repeated({320, 50}, 3)}, {repeated({53, 53}, 2)}} << QList<double> {0, 170}
        << QList<double> {170, 53} << Rect {0, 170, 53, 53};
    QTest::newRow("headers, footers and an empty section")
        << Sections {{{{100, 30}}, 20, 5}, {{}, 7, 3}, {{{100, 10}}, 0, 0}} << QList<double> {20, 62, 65}
        << QList<double> {30, 0, 10} << Rect {0, 65, 100, 10};
    QTest::newRow("empty first section") << Sections {{{}, 4, 6}, {{{20, 20}}, 1, 0}} << QList<double> {4, 11}
                                         << QList<double> {0, 20} << Rect {0, 11, 20, 20};
}

void TestZVFlowLayout::sections()
{
    QFETCH(Sections, sections);
    QFETCH(QList<double>, offsets);
    QFETCH(QList<double>, heights);
    QFETCH(Rect, firstItemOfLastSection);

    Fixture fixture(320, sections);
    fixture.layout().prepareLayout();
    const auto &prepared = fixture.layout().sections();
    QCOMPARE(prepared.size(), sections.size());
    for (qsizetype s = 0; s < prepared.size(); ++s) {
        QCOMPARE(prepared.at(s)->offset(), offsets.at(s));
        QCOMPARE(prepared.at(s)->height(), heights.at(s));
        QCOMPARE(prepared.at(s)->headerHeight(), sections.at(s).header);
        QCOMPARE(prepared.at(s)->footerHeight(), sections.at(s).footer);
        QCOMPARE(fixture.layout().rectForSectionAtIndex(s), (Rect {0, offsets.at(s), 320, heights.at(s)}));
    }
    QCOMPARE(fixture.frame(prepared.size() - 1, 0), firstItemOfLastSection);
}

void TestZVFlowLayout::supplementaryFrames()
{
    Fixture fixture(320, {{{{100, 30}}, 20, 5}, {{}, 7, 3}});
    ZVFlowLayout &layout = fixture.layout();
    layout.prepareLayout();

    const auto header = layout.layoutAttributesForSupplementaryItemInSection(0, ZVFlowLayoutHeaderKind);
    QCOMPARE(header.frame, (Rect {0, 0, 320, 20}));
    QCOMPARE(header.alpha, 1.0);
    QCOMPARE(layout.layoutAttributesForSupplementaryItemInSection(0, ZVFlowLayoutFooterKind).frame,
             (Rect {0, 50, 320, 5}));
    // The empty section's footer starts at its offset.
    QCOMPARE(layout.layoutAttributesForSupplementaryItemInSection(1, ZVFlowLayoutHeaderKind).frame,
             (Rect {0, 55, 320, 7}));
    QCOMPARE(layout.layoutAttributesForSupplementaryItemInSection(1, ZVFlowLayoutFooterKind).frame,
             (Rect {0, 62, 320, 3}));
    // Kinds are compared as strings, not by identity.
    QCOMPARE(layout.layoutAttributesForSupplementaryItemInSection(0, u"ZVFlowLayout"_s + u"HeaderKind"_s).frame,
             (Rect {0, 0, 320, 20}));
    const auto other = layout.layoutAttributesForSupplementaryItemInSection(0, u"Badge"_s);
    QCOMPARE(other.frame, Rect {});
    QCOMPARE(other.alpha, 1.0);
    QCOMPARE(layout.layoutAttributesForItemAtIndexPath(IndexPath {0, 0}).alpha, 1.0);

    // The document reaches down to the last footer.
    QCOMPARE(fixture.view().widget()->height(), 399);
    fixture.view().setGeometry(0, 0, 200, 30);
    QCOMPARE(fixture.view().widget()->height(), 65);
    // Widths are those of the host at the time of asking.
    QCOMPARE(layout.rectForSectionAtIndex(0).width, 200.0);
    QCOMPARE(layout.layoutAttributesForSupplementaryItemInSection(0, ZVFlowLayoutFooterKind).frame.width, 200.0);
}

void TestZVFlowLayout::itemsInRect_data()
{
    QTest::addColumn<Rect>("rect");
    QTest::addColumn<QList<IndexPath>>("expected");

    // Section 0: one row of two 53-tiles; section 1: one 320-wide row at y 53.
    QTest::newRow("exactly one item") << Rect {0, 0, 53, 53} << QList<IndexPath> {{0, 0}};
    QTest::newRow("touching right edge only") << Rect {53, 0, 10, 53} << QList<IndexPath> {};
    QTest::newRow("touching bottom edge only") << Rect {0, 103, 320, 10} << QList<IndexPath> {};
    QTest::newRow("touching corner only") << Rect {116, 53, 5, 5} << QList<IndexPath> {{1, 0}};
    QTest::newRow("sliver of overlap") << Rect {52.5, 52.5, 11, 1} << QList<IndexPath> {{0, 0}, {0, 1}, {1, 0}};
    QTest::newRow("zero width") << Rect {10, 10, 0, 10} << QList<IndexPath> {};
    QTest::newRow("zero height") << Rect {10, 10, 10, 0} << QList<IndexPath> {};
    QTest::newRow("screenful in order") << Rect {0, 0, 320, 399} << QList<IndexPath> {{0, 0}, {0, 1}, {1, 0}};
    QTest::newRow("outside") << Rect {0, 200, 320, 399} << QList<IndexPath> {};
}

void TestZVFlowLayout::itemsInRect()
{
    QFETCH(Rect, rect);
    QFETCH(QList<IndexPath>, expected);

    Fixture fixture(320, {{repeated({53, 53}, 2)}, {{{320, 50}}}});
    fixture.layout().prepareLayout();
    QCOMPARE(fixture.frame(1, 0), (Rect {0, 53, 320, 50}));
    QCOMPARE(fixture.layout().indexPathsForItemsInRect(rect), expected);
}

void TestZVFlowLayout::navigation_data()
{
    QTest::addColumn<bool>("emptyMiddleSection");
    QTest::addColumn<int>("direction");
    QTest::addColumn<IndexPath>("from");
    QTest::addColumn<OptionalPath>("expected");

    // Three activity rows (y 0, 60, 120) and seven tiles (rows at y 170 and 233).
    const OptionalPath none;
    QTest::newRow("left within section") << false << 0 << IndexPath {0, 1} << OptionalPath {{0, 0}};
    QTest::newRow("left from the very first") << false << 0 << IndexPath {0, 0} << none;
    QTest::newRow("left into previous section") << false << 0 << IndexPath {1, 0} << OptionalPath {{0, 2}};
    QTest::newRow("right into next section") << false << 1 << IndexPath {0, 2} << OptionalPath {{1, 0}};
    QTest::newRow("right from the very last") << false << 1 << IndexPath {1, 6} << none;
    QTest::newRow("up from first row") << false << 2 << IndexPath {0, 0} << none;
    QTest::newRow("up between rows") << false << 2 << IndexPath {0, 2} << OptionalPath {{0, 1}};
    QTest::newRow("up into previous section") << false << 2 << IndexPath {1, 3} << OptionalPath {{0, 2}};
    QTest::newRow("up within tiles") << false << 2 << IndexPath {1, 6} << OptionalPath {{1, 1}};
    QTest::newRow("down within tiles") << false << 3 << IndexPath {1, 1} << OptionalPath {{1, 6}};
    QTest::newRow("down with nothing below") << false << 3 << IndexPath {1, 4} << none;
    QTest::newRow("down into next section") << false << 3 << IndexPath {0, 2} << OptionalPath {{1, 0}};
    QTest::newRow("right stops at an empty section") << true << 1 << IndexPath {0, 2} << none;
    QTest::newRow("left stops at an empty section") << true << 0 << IndexPath {2, 0} << none;
    QTest::newRow("down across an empty section") << true << 3 << IndexPath {0, 2} << OptionalPath {{2, 0}};
}

void TestZVFlowLayout::navigation()
{
    QFETCH(bool, emptyMiddleSection);
    QFETCH(int, direction);
    QFETCH(IndexPath, from);
    QFETCH(OptionalPath, expected);

    Sections sections {{repeated({320, 50}, 3)}, {repeated({53, 53}, 7)}};
    if (emptyMiddleSection)
        sections.insert(1, SectionItems {});
    Fixture fixture(320, sections);
    fixture.layout().prepareLayout();
    const OptionalPath next = fixture.layout().indexPathForNextItemInDirection(direction, from);
    QCOMPARE(next.has_value(), expected.has_value());
    if (expected)
        QCOMPARE(*next, *expected);
}

void TestZVFlowLayout::assertions_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("message");

    QTest::newRow("prepare without delegate")
        << u"noDelegate"_s << u"Invalid parameter not satisfying: self.delegate"_s;
    QTest::newRow("item without index path") << u"noIndexPath"_s << u"Invalid parameter not satisfying: indexPath"_s;
    QTest::newRow("direction outside 0 to 3")
        << u"badDirection"_s << u"Invalid parameter not satisfying: direction >= 0 && direction <= 3"_s;
}

void TestZVFlowLayout::assertions()
{
    QFETCH(QString, what);
    QFETCH(QString, message);

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {u"--child"_s, what});
    QVERIFY(child.waitForFinished(30000));
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QVERIFY2(errors.contains(message), qPrintable(errors));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]));
    TestZVFlowLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_zvflowlayout.moc"
