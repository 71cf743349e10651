// Fuzzes the flow layout's preparation with arbitrary item sizes, header and
// footer heights, spacings, alignments and widths, then asks it every query.
#include "CollectionView.h"
#include "CollectionViewCell.h"
#include "FuzzInput.h"
#include "ZVFlowLayout.h"

#include <QApplication>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Small bounds keep one run well under a millisecond; the values are what is fuzzed.
constexpr int kMaxSections = 8;
constexpr int kMaxItems = 64;
const QString kCellId = QStringLiteral("cell");

class Host final : public CollectionViewDataSource, public ZVFlowLayoutDelegate
{
public:
    std::vector<qint64> itemCounts;
    std::vector<double> heights; // header, footer per section
    std::vector<Size> sizes; // cycled through for the items

    qint64 numberOfSectionsInCollectionView(CollectionView *) override { return qint64(itemCounts.size()); }
    qint64 numberOfItemsInSection(CollectionView *, qint64 section) override
    {
        return section >= 0 && size_t(section) < itemCounts.size() ? itemCounts[size_t(section)] : 0;
    }
    // The view places cells at the prepared frames even while hidden.
    CollectionViewCell *cellForItemAtIndexPath(CollectionView *view, const IndexPath &indexPath) override
    {
        return view->dequeueReusableCellWithIdentifier(kCellId, indexPath);
    }
    Size sizeForItemAtIndexPath(CollectionView *, const IndexPath &indexPath) override
    {
        if (sizes.empty())
            return {};
        return sizes[size_t(indexPath.section * kMaxItems + indexPath.item) % sizes.size()];
    }
    double heightForHeaderInSection(CollectionView *, qint64 section) override
    {
        return heights.empty() ? 0 : heights[size_t(section * 2) % heights.size()];
    }
    double heightForFooterInSection(CollectionView *, qint64 section) override
    {
        return heights.empty() ? 0 : heights[size_t(section * 2 + 1) % heights.size()];
    }
};

QApplication *g_application = nullptr;
CollectionView *g_view = nullptr;
ZVFlowLayout *g_layout = nullptr;
Host *g_host = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    g_application = new QApplication(*argc, *argv);
    g_host = new Host;
    g_view = new CollectionView;
    g_view->registerClass<CollectionViewCell>(kCellId);
    g_layout = new ZVFlowLayout;
    g_layout->setDelegate(g_host);
    g_view->setCollectionViewLayout(g_layout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    g_layout->setAlignment(input.take<int64_t>());
    g_layout->setMinimumLineSpacing(input.take<double>());
    g_layout->setMinimumInterItemSpacing(input.take<double>());
    // The width the layout reads is the view's visible area.
    g_view->viewport()->resize(input.take<uint16_t>(), 300);

    const int sections = input.take<uint8_t>() % (kMaxSections + 1);
    g_host->itemCounts.assign(size_t(sections), 0);
    for (qint64 &count : g_host->itemCounts)
        count = input.take<uint8_t>() % (kMaxItems + 1);
    g_host->heights.clear();
    for (int i = 0; i < 2 * sections; ++i)
        g_host->heights.push_back(input.take<double>());
    g_host->sizes.clear();
    while (!input.atEnd() && g_host->sizes.size() < 256) {
        const double width = input.take<double>();
        g_host->sizes.push_back({width, input.take<double>()});
    }

    // A new data source makes the view read the counts afresh at the layout's
    // first question, without tiling: this target fuzzes the layout, not the
    // view's sizing of its document.
    g_view->setDataSource(g_host);
    g_layout->prepareLayout();

    // Arrow-key moves ask the view for frames, and the view sizes its widget
    // document (whole pixels) from the prepared sections, whatever they hold.

    volatile double sink = 0;
    for (qint64 s = 0; s < sections; ++s) {
        const Rect rect = g_layout->rectForSectionAtIndex(s);
        sink = sink + rect.height;
        for (const QString &kind : g_layout->supplementaryKinds())
            sink = sink + g_layout->layoutAttributesForSupplementaryItemInSection(s, kind).frame.y;
        for (qint64 i = 0; i < g_host->itemCounts[size_t(s)]; ++i) {
            const IndexPath path {s, i};
            sink = sink + g_layout->layoutAttributesForItemAtIndexPath(path).frame.x;
            for (int direction = CollectionViewDirectionLeft; direction <= CollectionViewDirectionDown; ++direction) {
                const std::optional<IndexPath> next = g_layout->indexPathForNextItemInDirection(direction, path);
                if (next
                    && (next->section < 0 || next->section >= sections || next->item < 0
                        || next->item >= g_host->itemCounts[size_t(next->section)]))
                    __builtin_trap(); // a move must land on an item that exists
            }
        }
        sink = sink + double(g_layout->indexPathsForItemsInRect(rect).size());
    }
    sink = sink + double(g_layout->indexPathsForItemsInRect({-1e9, -1e9, 2e9, 2e9}).size());
    (void)sink;
    return 0;
}
