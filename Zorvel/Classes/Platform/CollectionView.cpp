#include "CollectionView.h"

#include "Assertion.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {

// The scroll bar floats over the document instead of taking width from it, so
// that the layout's content width is the view's width whether or not it scrolls.
class OverlayScrollBarStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ScrollBar_Transient)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Frames come from a layout's delegate and may be anything a double holds:
// widgets take whole pixels within QWIDGETSIZE_MAX, and NaN counts as 0.
int toPixels(double value)
{
    if (!std::isfinite(value))
        return value > 0 ? QWIDGETSIZE_MAX : (value < 0 ? -QWIDGETSIZE_MAX : 0);
    return int(std::clamp(std::round(value), -double(QWIDGETSIZE_MAX), double(QWIDGETSIZE_MAX)));
}

QRect toWidgetGeometry(const Rect &frame)
{
    const int left = toPixels(frame.minX());
    const int top = toPixels(frame.minY());
    return QRect(left, top, std::max(0, toPixels(frame.maxX()) - left), std::max(0, toPixels(frame.maxY()) - top));
}

} // namespace

CollectionViewLayout::~CollectionViewLayout() = default;

void CollectionViewLayout::invalidateLayout()
{
    if (m_collectionView)
        m_collectionView->layoutInvalidated();
}

CollectionView::CollectionView(QWidget *parent)
    : QScrollArea(parent)
{
    auto *style = new OverlayScrollBarStyle;
    style->setParent(this);
    setStyle(style);
    verticalScrollBar()->setStyle(style);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
    setFocusPolicy(Qt::StrongFocus);

    m_document = new QWidget;
    m_document->installEventFilter(this);
    setWidget(m_document);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { tile(); });
}

CollectionView::~CollectionView()
{
    if (m_layout && m_layout->m_collectionView == this)
        m_layout->m_collectionView = nullptr;
}

void CollectionView::setDataSource(CollectionViewDataSource *dataSource)
{
    m_dataSource = dataSource;
    m_countsValid = false;
    m_needsPrepare = true;
}

void CollectionView::registerCellFactory(const QString &reuseIdentifier, CellFactory factory)
{
    m_factories.insert(reuseIdentifier, std::move(factory));
}

CollectionViewCell *CollectionView::dequeueReusableCellWithIdentifier(const QString &reuseIdentifier,
                                                                      const IndexPath &indexPath)
{
    Q_UNUSED(indexPath);
    QList<CollectionViewCell *> &queue = m_reuseQueues[reuseIdentifier];
    if (!queue.isEmpty()) {
        CollectionViewCell *cell = queue.takeLast();
        cell->prepareForReuse();
        return cell;
    }
    const auto factory = m_factories.constFind(reuseIdentifier);
    ZV_PARAMETER_ASSERT(factory != m_factories.constEnd(), "a cell registered for reuseIdentifier");
    CollectionViewCell *cell = (*factory)(m_document);
    ZV_PARAMETER_ASSERT(cell, "a cell made by the registered factory");
    if (cell->parentWidget() != m_document)
        cell->setParent(m_document);
    cell->m_reuseIdentifier = reuseIdentifier;
    cell->hide();
    return cell;
}

void CollectionView::setCollectionViewLayout(CollectionViewLayout *layout)
{
    if (m_layout == layout)
        return;
    if (m_layout && m_layout->m_collectionView == this)
        m_layout->m_collectionView = nullptr;
    m_layout = layout;
    if (layout) {
        if (layout->m_collectionView && layout->m_collectionView != this)
            layout->m_collectionView->setCollectionViewLayout(nullptr);
        layout->m_collectionView = this;
    }
    // Cells are asked for at the next reload or display, so that the data source
    // and the layout's delegate can be set in any order before that.
    m_needsPrepare = true;
    if (isVisible())
        tile();
}

void CollectionView::reloadData()
{
    m_selection.clear();
    for (CollectionViewCell *cell : std::as_const(m_visibleCells))
        enqueue(cell);
    m_visibleCells.clear();
    m_countsValid = false;
    m_needsPrepare = true;
    tile();
}

void CollectionView::setSelectionIndexPaths(const QList<IndexPath> &indexPaths)
{
    m_selection = indexPaths;
    applySelectionToCells();
}

Size CollectionView::contentSize() const
{
    const QSize size = viewport()->size();
    return {double(size.width()), double(size.height())};
}

Rect CollectionView::documentVisibleRect() const
{
    const Size size = contentSize();
    return {double(horizontalScrollBar()->value()), double(verticalScrollBar()->value()), size.width, size.height};
}

void CollectionView::scrollRectToVisible(const Rect &rect)
{
    const Rect visible = documentVisibleRect();
    QScrollBar *bar = verticalScrollBar();
    if (rect.minY() < visible.minY())
        bar->setValue(toPixels(std::floor(rect.minY())));
    else if (rect.maxY() > visible.maxY())
        bar->setValue(toPixels(std::ceil(rect.maxY() - visible.height)));
}

qint64 CollectionView::numberOfSections() const
{
    const_cast<CollectionView *>(this)->reloadCounts();
    return qint64(m_itemCounts.size());
}

qint64 CollectionView::numberOfItemsInSection(qint64 section) const
{
    const_cast<CollectionView *>(this)->reloadCounts();
    if (section < 0 || section >= qint64(m_itemCounts.size()))
        return 0;
    return m_itemCounts[size_t(section)];
}

Rect CollectionView::frameForItemAtIndexPath(const std::optional<IndexPath> &indexPath) const
{
    if (!indexPath || !m_layout || indexPath->section < 0 || indexPath->section >= numberOfSections())
        return {};
    prepareIfNeeded();
    return m_layout->layoutAttributesForItemAtIndexPath(indexPath).frame;
}

QList<IndexPath> CollectionView::indexPathsForItemsInRect(const Rect &rect) const
{
    if (rect == Rect {} || !m_layout)
        return {};
    prepareIfNeeded();
    return m_layout->indexPathsForItemsInRect(rect);
}

std::optional<IndexPath> CollectionView::indexPathBefore(const IndexPath &indexPath) const
{
    if (indexPath.item > 0)
        return IndexPath {indexPath.section, indexPath.item - 1};
    const qint64 previous = indexPath.section - 1;
    if (previous >= 0 && previous < numberOfSections()) {
        if (const qint64 count = numberOfItemsInSection(previous); count > 0)
            return IndexPath {previous, count - 1};
    }
    return std::nullopt;
}

std::optional<IndexPath> CollectionView::indexPathAfter(const IndexPath &indexPath) const
{
    if (indexPath.item + 1 < numberOfItemsInSection(indexPath.section))
        return IndexPath {indexPath.section, indexPath.item + 1};
    const qint64 next = indexPath.section + 1;
    if (next >= 0 && next < numberOfSections() && numberOfItemsInSection(next) > 0)
        return IndexPath {next, 0};
    return std::nullopt;
}

CollectionViewCell *CollectionView::cellForItemAtIndexPath(const IndexPath &indexPath) const
{
    return m_visibleCells.value(indexPath, nullptr);
}

QList<CollectionViewCell *> CollectionView::visibleCells() const
{
    QList<IndexPath> paths = m_visibleCells.keys();
    std::sort(paths.begin(), paths.end());
    QList<CollectionViewCell *> cells;
    cells.reserve(paths.size());
    for (const IndexPath &path : std::as_const(paths))
        cells.append(m_visibleCells.value(path));
    return cells;
}

int CollectionView::cellWidgetCount() const
{
    return int(m_document->findChildren<CollectionViewCell *>(Qt::FindDirectChildrenOnly).size());
}

void CollectionView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    const Size size = contentSize();
    if (size == m_preparedSize)
        return;
    if (!m_layout || m_layout->shouldInvalidateLayoutForBoundsChange({0, 0, size.width, size.height}))
        m_needsPrepare = true;
    tile();
}

void CollectionView::showEvent(QShowEvent *event)
{
    QScrollArea::showEvent(event);
    tile();
}

void CollectionView::keyPressEvent(QKeyEvent *event)
{
    int direction = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        direction = CollectionViewDirectionLeft;
        break;
    case Qt::Key_Right:
        direction = CollectionViewDirectionRight;
        break;
    case Qt::Key_Up:
        direction = CollectionViewDirectionUp;
        break;
    case Qt::Key_Down:
        direction = CollectionViewDirectionDown;
        break;
    default:
        QScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!m_layout || m_selection.isEmpty())
        return;
    prepareIfNeeded();
    if (const std::optional<IndexPath> next = m_layout->indexPathForNextItemInDirection(direction, m_selection.last()))
        selectByUser(*next);
}

bool CollectionView::eventFilter(QObject *watched, QEvent *event)
{
    // Presses on a cell that no child of it took arrive here, in document coordinates.
    if (watched == m_document && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            QWidget *hit = m_document->childAt(mouse->position().toPoint());
            while (hit && hit->parentWidget() != m_document)
                hit = hit->parentWidget();
            if (auto *cell = dynamic_cast<CollectionViewCell *>(hit)) {
                for (auto it = m_visibleCells.cbegin(); it != m_visibleCells.cend(); ++it) {
                    if (it.value() == cell) {
                        setFocus(Qt::MouseFocusReason);
                        selectByUser(it.key());
                        return true;
                    }
                }
            }
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

void CollectionView::layoutInvalidated()
{
    m_needsPrepare = true;
    tile();
}

void CollectionView::prepareIfNeeded() const
{
    if (m_needsPrepare && !m_preparing)
        const_cast<CollectionView *>(this)->prepare();
}

void CollectionView::prepare()
{
    m_needsPrepare = false;
    m_preparedSize = contentSize();
    reloadCounts();
    double documentHeight = 0;
    if (m_layout) {
        m_preparing = true;
        m_layout->prepareLayout();
        m_preparing = false;
        // Footers lie below the section rectangles, so the document reaches past them.
        const QStringList kinds = m_layout->supplementaryKinds();
        const qint64 sections = numberOfSections();
        for (qint64 section = 0; section < sections; ++section) {
            documentHeight = std::max(documentHeight, m_layout->rectForSectionAtIndex(section).maxY());
            for (const QString &kind : kinds)
                documentHeight
                    = std::max(documentHeight,
                               m_layout->layoutAttributesForSupplementaryItemInSection(section, kind).frame.maxY());
        }
    }
    const Size size = m_preparedSize;
    m_document->resize(std::max(0, toPixels(size.width)),
                       std::max(0, toPixels(std::max(std::ceil(documentHeight), std::round(size.height)))));
}

void CollectionView::reloadCounts()
{
    if (m_countsValid)
        return;
    m_countsValid = true;
    m_itemCounts.clear();
    if (!m_dataSource)
        return;
    const qint64 sections = std::max<qint64>(0, m_dataSource->numberOfSectionsInCollectionView(this));
    m_itemCounts.reserve(size_t(sections));
    for (qint64 section = 0; section < sections; ++section)
        m_itemCounts.push_back(std::max<qint64>(0, m_dataSource->numberOfItemsInSection(this, section)));
}

void CollectionView::tile()
{
    // Resizing the document scrolls, and scrolling tiles: one pass at a time.
    if (m_tiling)
        return;
    m_tiling = true;
    prepareIfNeeded();

    QList<IndexPath> wanted;
    if (m_layout && m_dataSource)
        wanted = indexPathsForItemsInRect(documentVisibleRect());

    QHash<IndexPath, CollectionViewCell *> kept;
    kept.reserve(wanted.size());
    for (const IndexPath &path : std::as_const(wanted)) {
        if (CollectionViewCell *cell = m_visibleCells.take(path))
            kept.insert(path, cell);
    }
    for (CollectionViewCell *cell : std::as_const(m_visibleCells))
        enqueue(cell);
    m_visibleCells.clear();

    for (const IndexPath &path : std::as_const(wanted)) {
        CollectionViewCell *cell = kept.value(path, nullptr);
        if (!cell) {
            cell = m_dataSource->cellForItemAtIndexPath(this, path);
            if (!cell)
                continue;
            if (cell->parentWidget() != m_document)
                cell->setParent(m_document);
        }
        m_visibleCells.insert(path, cell);
        cell->setGeometry(toWidgetGeometry(m_layout->layoutAttributesForItemAtIndexPath(path).frame));
        cell->setSelected(m_selection.contains(path));
        cell->show();
    }
    m_tiling = false;
}

void CollectionView::enqueue(CollectionViewCell *cell)
{
    cell->hide();
    cell->setSelected(false);
    QList<CollectionViewCell *> &queue = m_reuseQueues[cell->reuseIdentifier()];
    if (!queue.contains(cell))
        queue.append(cell);
}

void CollectionView::selectByUser(const IndexPath &indexPath)
{
    m_selection = {indexPath};
    applySelectionToCells();
    if (const CollectionViewCell *cell = cellForItemAtIndexPath(indexPath))
        scrollRectToVisible(Rect::fromQRectF(QRectF(cell->geometry())));
    else
        scrollRectToVisible(frameForItemAtIndexPath(indexPath));
    // The delegate may reload or replace everything: nothing is touched after this.
    if (m_delegate)
        m_delegate->didSelectItemAtIndexPath(this, indexPath);
}

void CollectionView::applySelectionToCells()
{
    for (auto it = m_visibleCells.cbegin(); it != m_visibleCells.cend(); ++it)
        it.value()->setSelected(m_selection.contains(it.key()));
}
