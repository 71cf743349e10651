// The collection view over a flow layout: cells only where they can be seen and
// reused while scrolling, selection reports on clicks and arrow-key moves.
#include "CollectionView.h"
#include "ZVFlowLayout.h"

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QtTest>
#include <functional>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

char *toString(const IndexPath &path)
{
    return qstrdup(QStringLiteral("(%1, %2)").arg(path.section).arg(path.item).toUtf8().constData());
}

namespace {

// A cell that knows how often it was made and reused, and carries a label like real cells.
class CountingCell final : public CollectionViewCell
{
public:
    CountingCell(const Rect &frame, QWidget *parent)
        : CollectionViewCell(parent)
    {
        resize(int(frame.width), int(frame.height));
        label = new QLabel(contentView());
        label->setGeometry(0, 0, 40, 20);
        ++made;
    }
    void prepareForReuse() override { ++reused; }

    QLabel *label = nullptr;
    IndexPath shown;
    static inline int made = 0;
    static inline int reused = 0;
};

// Activity rows (320 x 50) in section 0 and tiles (53 x 53) in section 1, as the
// activities screen sizes them, in a view of its size.
class Fixture final : public CollectionViewDataSource, public CollectionViewDelegate, public ZVFlowLayoutDelegate
{
public:
    Fixture(qint64 rows, qint64 tiles)
        : counts {rows, tiles}
    {
        CountingCell::made = CountingCell::reused = 0;
        window.resize(320, 399);
        view = new CollectionView(&window);
        view->setGeometry(0, 40, 320, 359);
        view->setDataSource(this);
        view->setDelegate(this);
        view->registerClass<CountingCell>(u"RowCellId"_s);
        view->registerCellFactory(u"TileCellId"_s, [](QWidget *parent) { return new CountingCell({}, parent); });
        layout.setDelegate(this);
        view->setCollectionViewLayout(&layout);
        view->reloadData();
        window.show();
    }
    ~Fixture() override { view->setCollectionViewLayout(nullptr); }

    qint64 numberOfSectionsInCollectionView(CollectionView *) override { return counts.size(); }
    qint64 numberOfItemsInSection(CollectionView *, qint64 section) override { return counts.at(section); }
    CollectionViewCell *cellForItemAtIndexPath(CollectionView *cv, const IndexPath &path) override
    {
        auto *cell = static_cast<CountingCell *>(
            cv->dequeueReusableCellWithIdentifier(path.section == 0 ? u"RowCellId"_s : u"TileCellId"_s, path));
        cell->shown = path;
        ++asked;
        return cell;
    }
    void didSelectItemAtIndexPath(CollectionView *, const IndexPath &path) override
    {
        reports.append(path);
        if (onSelect)
            onSelect(path);
    }
    Size sizeForItemAtIndexPath(CollectionView *, const IndexPath &path) override
    {
        if (itemSize)
            return *itemSize;
        return path.section == 0 ? Size {320, 50} : Size {53, 53};
    }
    double heightForHeaderInSection(CollectionView *, qint64) override { return headerHeight; }

    // Every placed cell shows its own item at its frame, and exactly the items in sight are placed.
    void verifyTiling() const
    {
        QList<IndexPath> placed;
        for (CollectionViewCell *cell : view->visibleCells()) {
            const IndexPath path = static_cast<CountingCell *>(cell)->shown;
            placed.append(path);
            QVERIFY(cell->isVisible());
            QCOMPARE(view->cellForItemAtIndexPath(path), cell);
            QCOMPARE(Rect::fromQRectF(QRectF(cell->geometry())), view->frameForItemAtIndexPath(path));
            QCOMPARE(cell->isSelected(), view->selectionIndexPaths().contains(path));
        }
        QCOMPARE(placed, layout.indexPathsForItemsInRect(view->documentVisibleRect()));
    }
    void click(const IndexPath &path, bool onLabel = false)
    {
        auto *cell = static_cast<CountingCell *>(view->cellForItemAtIndexPath(path));
        QVERIFY(cell);
        if (onLabel)
            QTest::mouseClick(cell->label, Qt::LeftButton, {}, QPoint(5, 5));
        else
            QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(cell->width() - 3, cell->height() / 2));
    }

    QList<qint64> counts;
    QWidget window;
    CollectionView *view = nullptr;
    ZVFlowLayout layout;
    QList<IndexPath> reports;
    std::function<void(const IndexPath &)> onSelect;
    int asked = 0;
    std::optional<Size> itemSize;
    double headerHeight = 0;
};

} // namespace

class TestCollectionView : public QObject
{
    Q_OBJECT

private slots:
    void reuseWhileScrolling();
    void reloadAndResize();
    void clicks();
    void keyboard_data();
    void keyboard();
    void keyboardScrollsIntoView();
    void sizesBeyondWidgetLimits_data();
    void sizesBeyondWidgetLimits();
};

// A delegate may answer any double: the view must clamp it to what widgets can take.
void TestCollectionView::sizesBeyondWidgetLimits_data()
{
    QTest::addColumn<double>("header");
    QTest::addColumn<double>("itemHeight");
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("huge header") << 1e308 << 50.0;
    QTest::newRow("infinite header") << inf << 50.0;
    QTest::newRow("negative infinite header") << -inf << 50.0;
    QTest::newRow("NaN header") << nan << 50.0;
    QTest::newRow("huge item") << 0.0 << 1e300;
    QTest::newRow("NaN item") << 0.0 << nan;
}

void TestCollectionView::sizesBeyondWidgetLimits()
{
    QFETCH(double, header);
    QFETCH(double, itemHeight);
    Fixture fixture(3, 3);
    fixture.headerHeight = header;
    fixture.itemSize = Size {53, itemHeight};
    fixture.view->reloadData();
    fixture.view->setSelectionIndexPaths({IndexPath {0, 0}});
    fixture.view->setFocus();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Left})
        QTest::keyClick(fixture.view, key);
    QVERIFY(fixture.view->widget()->height() <= QWIDGETSIZE_MAX);
    QVERIFY(fixture.view->widget()->height() >= 0);
}

void TestCollectionView::reuseWhileScrolling()
{
    Fixture fixture(1000, 30);
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));
    CollectionView &view = *fixture.view;

    // The scroll bar floats over the rows instead of narrowing them.
    QCOMPARE(view.contentSize(), (Size {320, 359}));
    QCOMPARE(view.documentVisibleRect(), (Rect {0, 0, 320, 359}));
    // 1000 rows 60 apart, then six rows of tiles 63 apart.
    QCOMPARE(view.widget()->height(), 999 * 60 + 50 + 5 * 63 + 53);
    QCOMPARE(view.visibleCells().size(), 6);
    fixture.verifyTiling();

    QScrollBar *bar = view.verticalScrollBar();
    QCOMPARE(bar->maximum(), view.widget()->height() - 359);
    int most = 0;
    for (int y = 0; y <= bar->maximum(); y += 97) {
        bar->setValue(y);
        most = std::max(most, view.cellWidgetCount());
    }
    bar->setValue(bar->maximum());
    QCOMPARE(view.documentVisibleRect().maxY(), double(view.widget()->height()));
    fixture.verifyTiling();
    QVERIFY(view.visibleCells().size() > 20); // the tiles at the bottom
    // One screenful of rows or of tiles, plus what was in sight at the border between them.
    QVERIFY2(view.cellWidgetCount() <= 40, qPrintable(QString::number(view.cellWidgetCount())));
    QVERIFY2(most <= 40, qPrintable(QString::number(most)));
    QVERIFY(CountingCell::reused > 900);

    bar->setValue(6000);
    fixture.verifyTiling();
}

void TestCollectionView::reloadAndResize()
{
    Fixture fixture(3, 7);
    CollectionView &view = *fixture.view;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));
    fixture.click({1, 2});
    QCOMPARE(view.selectionIndexPaths(), (QList<IndexPath> {{1, 2}}));
    fixture.verifyTiling();

    // A reload reads the counts anew, asks for every cell in sight and forgets the selection.
    fixture.counts = {1, 12};
    const int askedBefore = fixture.asked;
    view.reloadData();
    QCOMPARE(view.numberOfItemsInSection(1), 12);
    QCOMPARE(fixture.asked - askedBefore, 13);
    QVERIFY(view.selectionIndexPaths().isEmpty());
    fixture.verifyTiling();
    QCOMPARE(view.cellWidgetCount(), 15); // two spare rows wait for reuse

    // Counts are kept until the next reload, even if the data source changed meanwhile.
    fixture.counts = {0, 0};
    QCOMPARE(view.numberOfItemsInSection(1), 12);

    // A narrower view flows the tiles again: three in a row.
    fixture.counts = {1, 12};
    view.setGeometry(0, 40, 200, 359);
    QCOMPARE(view.frameForItemAtIndexPath(IndexPath {1, 3}), (Rect {0, 60 + 63, 53, 53}));
    fixture.verifyTiling();

    // An invalidation prepares again with the layout's new settings.
    fixture.layout.setMinimumLineSpacing(0);
    fixture.layout.invalidateLayout();
    QCOMPARE(view.frameForItemAtIndexPath(IndexPath {1, 3}), (Rect {0, 50 + 53, 53, 53}));
    fixture.verifyTiling();

    QCOMPARE(view.frameForItemAtIndexPath(std::nullopt), Rect {});
    QCOMPARE(view.frameForItemAtIndexPath(IndexPath {2, 0}), Rect {});
    QVERIFY(view.indexPathsForItemsInRect(Rect {}).isEmpty());
}

void TestCollectionView::clicks()
{
    Fixture fixture(3, 7);
    CollectionView &view = *fixture.view;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));

    fixture.click({0, 1});
    fixture.click({0, 1}); // already selected: reported again
    fixture.click({1, 4}, /*onLabel=*/true); // a press on a child of the cell selects too
    QCOMPARE(fixture.reports, (QList<IndexPath> {{0, 1}, {0, 1}, {1, 4}}));
    QCOMPARE(view.selectionIndexPaths(), (QList<IndexPath> {{1, 4}}));
    QVERIFY(!view.cellForItemAtIndexPath({0, 1})->isSelected());
    QVERIFY(view.cellForItemAtIndexPath({1, 4})->isSelected());

    // Space between the items selects nothing.
    QTest::mouseClick(view.widget(), Qt::LeftButton, {}, QPoint(58, 200));
    QCOMPARE(fixture.reports.size(), 3);

    // A delegate that reloads with fewer items from inside the report (as entering a group does).
    fixture.onSelect = [&](const IndexPath &) {
        fixture.counts = {0, 2};
        view.reloadData();
    };
    fixture.click({1, 6});
    QCOMPARE(fixture.reports.size(), 4);
    QVERIFY(view.selectionIndexPaths().isEmpty());
    fixture.verifyTiling();
    QCOMPARE(view.visibleCells().size(), 2);

    view.hide();
    QVERIFY(!view.isVisible());
    view.show();
    fixture.verifyTiling();
}

void TestCollectionView::keyboard_data()
{
    QTest::addColumn<IndexPath>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<IndexPath>("expected");

    // Three activity rows (y 0, 60, 120), then seven tiles in rows at y 170 and 233.
    QTest::newRow("down a row") << IndexPath {0, 0} << int(Qt::Key_Down) << IndexPath {0, 1};
    QTest::newRow("down into the tiles") << IndexPath {0, 2} << int(Qt::Key_Down) << IndexPath {1, 0};
    QTest::newRow("up into the rows") << IndexPath {1, 3} << int(Qt::Key_Up) << IndexPath {0, 2};
    QTest::newRow("down within tiles") << IndexPath {1, 1} << int(Qt::Key_Down) << IndexPath {1, 6};
    QTest::newRow("right") << IndexPath {1, 1} << int(Qt::Key_Right) << IndexPath {1, 2};
    QTest::newRow("left across sections") << IndexPath {1, 0} << int(Qt::Key_Left) << IndexPath {0, 2};
    QTest::newRow("up from the first row stays") << IndexPath {0, 0} << int(Qt::Key_Up) << IndexPath {0, 0};
    QTest::newRow("down with nothing below stays") << IndexPath {1, 4} << int(Qt::Key_Down) << IndexPath {1, 4};
}

void TestCollectionView::keyboard()
{
    QFETCH(IndexPath, start);
    QFETCH(int, key);
    QFETCH(IndexPath, expected);

    Fixture fixture(3, 7);
    CollectionView &view = *fixture.view;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));
    fixture.click(start);
    QCOMPARE(fixture.reports.size(), 1);
    QTest::keyClick(&view, Qt::Key(key));

    QCOMPARE(view.selectionIndexPaths(), QList<IndexPath> {expected});
    if (expected == start)
        QCOMPARE(fixture.reports.size(), 1);
    else
        QCOMPARE(fixture.reports, (QList<IndexPath> {start, expected}));
    fixture.verifyTiling();
}

void TestCollectionView::keyboardScrollsIntoView()
{
    Fixture fixture(40, 0);
    CollectionView &view = *fixture.view;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));

    // Without a selection the arrows move nothing.
    QTest::keyClick(&view, Qt::Key_Down);
    QVERIFY(fixture.reports.isEmpty());

    fixture.click({0, 4});
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.selectionIndexPaths(), (QList<IndexPath> {{0, 14}}));
    QCOMPARE(fixture.reports.size(), 11);
    QVERIFY(view.cellForItemAtIndexPath({0, 14}));
    QVERIFY(view.cellForItemAtIndexPath({0, 14})->isSelected());
    QVERIFY(view.documentVisibleRect().maxY() >= view.frameForItemAtIndexPath(IndexPath {0, 14}).maxY());
    fixture.verifyTiling();
}

QTEST_MAIN(TestCollectionView)
#include "tst_collectionview.moc"
