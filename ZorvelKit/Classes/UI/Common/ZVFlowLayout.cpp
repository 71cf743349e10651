#include "ZVFlowLayout.h"

#include "Assertion.h"
#include "CollectionView.h"

ZVFlowLayoutSection::ZVFlowLayoutSection(qint64 numberOfItems)
    : m_numberOfItems(numberOfItems)
    , m_itemInfo(size_t(std::max<qint64>(0, numberOfItems)))
{ }

ZVFlowLayout::ZVFlowLayout(QObject *parent)
    : CollectionViewLayout(parent)
{ }

void ZVFlowLayout::prepareLayout()
{
    ZV_PARAMETER_ASSERT(m_delegate, "self.delegate");
    m_sections.clear();
    CollectionView *host = collectionView();
    if (!host)
        return;

    const qint64 sectionCount = host->numberOfSections();
    // Fixed for the whole preparation, even if the host resizes meanwhile.
    const double width = host->contentSize().width;
    const double lineSpacing = m_minimumLineSpacing;
    const double interItemSpacing = m_minimumInterItemSpacing;
    // Top alignment moves nothing; skipping the call keeps the loop free of calls but the delegate's.
    const bool aligns = m_alignment != ZVFlowLayoutAlignmentTop;
    double top = 0;
    m_sections.reserve(sectionCount);

    for (qint64 s = 0; s < sectionCount; ++s) {
        const qint64 itemCount = host->numberOfItemsInSection(s);
        const double headerHeight = m_delegate->heightForHeaderInSection(host, s);
        const double footerHeight = m_delegate->heightForFooterInSection(host, s);
        auto section = std::make_shared<ZVFlowLayoutSection>(itemCount);
        section->setHeaderHeight(headerHeight);
        section->setFooterHeight(footerHeight);
        section->setOffset(top + headerHeight);

        const std::span<Rect> items = section->itemInfo();
        double rowTop = 0;
        ZVFlowLayoutRow row = ZVFlowLayoutRow::emptyRowWithFirstItemIndex(0);
        for (qint64 j = 0; j < qint64(items.size()); ++j) {
            const Size size = m_delegate->sizeForItemAtIndexPath(host, {s, j});
            // Also for a row's first item: one wider than the section leaves an
            // empty row of height 0 above it.
            if (row.width + size.width > width) {
                if (aligns)
                    adjustVerticalAlignmentForRow(row, *section);
                rowTop += row.height + lineSpacing;
                row = ZVFlowLayoutRow::emptyRowWithFirstItemIndex(quint64(j));
            }
            items[size_t(j)] = {row.width, rowTop, size.width, size.height};
            ++row.itemRange.length;
            if (size.height > row.height)
                row.height = size.height;
            row.width += size.width + interItemSpacing;
        }
        if (aligns)
            adjustVerticalAlignmentForRow(row, *section);
        section->setHeight(rowTop + row.height);
        top = section->offset() + section->height() + footerHeight;
        m_sections.append(std::move(section));
    }
}

void ZVFlowLayout::adjustVerticalAlignmentForRow(const ZVFlowLayoutRow &row, ZVFlowLayoutSection &section) const
{
    if (m_alignment == ZVFlowLayoutAlignmentTop)
        return;
    const std::span<Rect> items = section.itemInfo();
    const quint64 end = row.itemRange.location + row.itemRange.length;
    for (quint64 k = row.itemRange.location; k < end; ++k) {
        Rect &item = items[size_t(k)];
        const double slack = row.height - item.height;
        item.y += m_alignment == ZVFlowLayoutAlignmentBottom ? slack : slack / 2;
    }
}

const ZVFlowLayoutSection *ZVFlowLayout::preparedSection(qint64 section) const
{
    if (section < 0 || section >= m_sections.size())
        return nullptr;
    return m_sections.at(section).get();
}

CollectionViewLayoutAttributes
ZVFlowLayout::layoutAttributesForItemAtIndexPath(const std::optional<IndexPath> &indexPath) const
{
    ZV_PARAMETER_ASSERT(indexPath.has_value(), "indexPath");
    const ZVFlowLayoutSection *section = preparedSection(indexPath->section);
    if (!section || indexPath->item < 0 || indexPath->item >= qint64(section->itemInfo().size()))
        return {};
    Rect frame = section->itemInfo()[size_t(indexPath->item)];
    frame.y += section->offset();
    return {frame, 1.0};
}

CollectionViewLayoutAttributes ZVFlowLayout::layoutAttributesForSupplementaryItemInSection(qint64 sectionIndex,
                                                                                           const QString &kind) const
{
    const ZVFlowLayoutSection *section = preparedSection(sectionIndex);
    if (!section)
        return {};
    const CollectionView *host = collectionView();
    const double visibleWidth = host ? host->documentVisibleRect().width : 0;
    if (kind == ZVFlowLayoutHeaderKind)
        return {{0, section->offset() - section->headerHeight(), visibleWidth, section->headerHeight()}, 1.0};
    if (kind == ZVFlowLayoutFooterKind)
        return {{0, section->offset() + section->height(), visibleWidth, section->footerHeight()}, 1.0};
    return {};
}

QList<IndexPath> ZVFlowLayout::indexPathsForItemsInRect(const Rect &rect) const
{
    QList<IndexPath> result;
    for (qint64 s = 0; s < m_sections.size(); ++s) {
        const ZVFlowLayoutSection &section = *m_sections.at(s);
        const double offset = section.offset();
        const std::span<const Rect> items = section.itemInfo();
        for (size_t j = 0; j < items.size(); ++j) {
            Rect frame = items[j];
            frame.y += offset;
            if (frame.intersects(rect))
                result.append({s, qint64(j)});
        }
    }
    return result;
}

Rect ZVFlowLayout::rectForSectionAtIndex(qint64 sectionIndex) const
{
    const ZVFlowLayoutSection *section = preparedSection(sectionIndex);
    if (!section)
        return {};
    const CollectionView *host = collectionView();
    return {0, section->offset(), host ? host->contentSize().width : 0, section->height()};
}

std::optional<IndexPath> ZVFlowLayout::indexPathForNextItemInDirection(int direction, const IndexPath &current) const
{
    ZV_PARAMETER_ASSERT(direction >= CollectionViewDirectionLeft && direction <= CollectionViewDirectionDown,
                        "direction >= 0 && direction <= 3");
    const CollectionView *host = collectionView();
    if (!host)
        return std::nullopt;
    switch (direction) {
    case CollectionViewDirectionLeft:
        return host->indexPathBefore(current);
    case CollectionViewDirectionRight:
        return host->indexPathAfter(current);
    default:
        break;
    }
    Rect probe = host->frameForItemAtIndexPath(current);
    probe.y += direction == CollectionViewDirectionUp ? -probe.height : probe.height;
    const QList<IndexPath> candidates = host->indexPathsForItemsInRect(probe);
    if (candidates.isEmpty())
        return std::nullopt;
    return candidates.first();
}
