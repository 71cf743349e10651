// Measures the flow layout's preparation of 10,000 items and one screenful's
// rectangle query against a plain loop that only writes as many frames.
#include "CollectionView.h"
#include "ZVFlowLayout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qint64 kRows = 5000; // 320 x 50, as the activities
constexpr qint64 kTiles = 5000; // 53 x 53, as the types
constexpr int kRuns = 200;

class Source final : public CollectionViewDataSource, public ZVFlowLayoutDelegate
{
public:
    qint64 numberOfSectionsInCollectionView(CollectionView *) override { return 2; }
    qint64 numberOfItemsInSection(CollectionView *, qint64 section) override { return section == 0 ? kRows : kTiles; }
    CollectionViewCell *cellForItemAtIndexPath(CollectionView *cv, const IndexPath &path) override
    {
        return cv->dequeueReusableCellWithIdentifier(QStringLiteral("Cell"), path);
    }
    Size sizeForItemAtIndexPath(CollectionView *, const IndexPath &path) override
    {
        return path.section == 0 ? Size {320, 50} : Size {53, 53};
    }
};

template<class Work> double medianNanoseconds(Work work)
{
    std::vector<double> times;
    times.reserve(kRuns);
    QElapsedTimer timer;
    for (int run = 0; run < kRuns; ++run) {
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Keeps the compiler from dropping stores nobody reads.
inline void clobber(void *p)
{
    asm volatile("" : : "g"(p) : "memory");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Source source;
    CollectionView view;
    view.resize(320, 399);
    view.registerClass<CollectionViewCell>(QStringLiteral("Cell"));
    view.setDataSource(&source);
    ZVFlowLayout layout;
    layout.setDelegate(&source);
    view.setCollectionViewLayout(&layout);
    view.reloadData();
    view.show();
    QApplication::processEvents();
    const Rect screenful {0, 150000, 320, 399};

    const qint64 items = kRows + kTiles;
    std::vector<Rect> frames(static_cast<size_t>(items));
    const double floor = medianNanoseconds([&] {
        // Only the stores: every frame written once, nobody asked for a size.
        for (qint64 j = 0; j < items; ++j)
            frames[size_t(j)] = {double(j % 5) * 63, double(j / 5) * 63, 53, 53};
        clobber(frames.data());
    });
    // The sizes the layout must ask for, one virtual call per item, stored as frames.
    ZVFlowLayoutDelegate *volatile delegate = &source; // a real indirect call, as in the layout
    const double asking = medianNanoseconds([&] {
        for (qint64 j = 0; j < items; ++j) {
            const IndexPath path {j < kRows ? 0 : 1, j < kRows ? j : j - kRows};
            const Size size = delegate->sizeForItemAtIndexPath(&view, path);
            frames[size_t(j)] = {double(j % 5) * 63, double(j / 5) * 63, size.width, size.height};
        }
        clobber(frames.data());
    });
    const double prepare = medianNanoseconds([&] { layout.prepareLayout(); });
    qsizetype found = 0;
    const double query = medianNanoseconds([&] { found = layout.indexPathsForItemsInRect(screenful).size(); });

    std::printf("flow layout, %lld items (%lld rows 320x50, %lld tiles 53x53), median of %d runs\n", items, kRows,
                kTiles, kRuns);
    std::printf("  floor: plain loop writing %lld frames   %10.1f us\n", items, floor / 1000);
    std::printf("  the same, asking the delegate each size %10.1f us   %5.2fx floor\n", asking / 1000, asking / floor);
    std::printf("  prepareLayout                          %10.1f us   %5.2fx floor (goal <= 3x)\n", prepare / 1000,
                prepare / floor);
    std::printf("  indexPathsForItemsInRect 320x399       %10.1f us   %5.2fx floor (%lld items)\n", query / 1000,
                query / floor, qint64(found));
    view.setCollectionViewLayout(nullptr);
    return 0;
}
