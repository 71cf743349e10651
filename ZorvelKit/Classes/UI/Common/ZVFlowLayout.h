// Places the items of a sectioned collection view in left-aligned rows, section
// under section, with header and footer areas and arrow-key moves between items.
#pragma once

#include "CollectionViewLayout.h"
#include "Geometry.h"
#include "IndexPath.h"

#include <QList>
#include <QString>
#include <memory>
#include <span>
#include <vector>

class CollectionView;

// The two kinds of supplementary view; each value is its own name.
inline const QString ZVFlowLayoutHeaderKind = QStringLiteral("ZVFlowLayoutHeaderKind");
inline const QString ZVFlowLayoutFooterKind = QStringLiteral("ZVFlowLayoutFooterKind");

// Vertical alignment inside a row; any other value behaves as Center.
inline constexpr qint64 ZVFlowLayoutAlignmentTop = 0;
inline constexpr qint64 ZVFlowLayoutAlignmentCenter = 1;
inline constexpr qint64 ZVFlowLayoutAlignmentBottom = 2;

class ZVFlowLayoutDelegate
{
public:
    virtual ~ZVFlowLayoutDelegate() = default;
    virtual Size sizeForItemAtIndexPath(CollectionView *collectionView, const IndexPath &indexPath) = 0;
    // Asked for every section; a delegate without headers or footers keeps these.
    virtual double heightForHeaderInSection(CollectionView *collectionView, qint64 section)
    {
        Q_UNUSED(collectionView);
        Q_UNUSED(section);
        return 0;
    }
    virtual double heightForFooterInSection(CollectionView *collectionView, qint64 section)
    {
        Q_UNUSED(collectionView);
        Q_UNUSED(section);
        return 0;
    }
};

// The prepared geometry of one section. Item records are relative to the section:
// x from the document's left edge, y from offset.
class ZVFlowLayoutSection final
{
public:
    // All item records start as zeros.
    explicit ZVFlowLayoutSection(qint64 numberOfItems);

    double offset() const { return m_offset; }
    void setOffset(double offset) { m_offset = offset; }
    double height() const { return m_height; }
    void setHeight(double height) { m_height = height; }
    double headerHeight() const { return m_headerHeight; }
    void setHeaderHeight(double height) { m_headerHeight = height; }
    double footerHeight() const { return m_footerHeight; }
    void setFooterHeight(double height) { m_footerHeight = height; }
    qint64 numberOfItems() const { return m_numberOfItems; }
    void setNumberOfItems(qint64 numberOfItems) { m_numberOfItems = numberOfItems; }

    std::span<Rect> itemInfo() { return m_itemInfo; }
    std::span<const Rect> itemInfo() const { return m_itemInfo; }

private:
    double m_offset = 0;
    double m_height = 0;
    double m_headerHeight = 0;
    double m_footerHeight = 0;
    qint64 m_numberOfItems = 0;
    std::vector<Rect> m_itemInfo;
};

// A row while its section is being prepared.
struct ZVFlowLayoutRow
{
    struct Range
    {
        quint64 location = 0;
        quint64 length = 0;
    };

    double height = 0; // of the tallest item so far
    double width = 0; // where the next item would start
    Range itemRange;

    static ZVFlowLayoutRow emptyRowWithFirstItemIndex(quint64 index) { return {0, 0, {index, 0}}; }
};

class ZVFlowLayout final : public CollectionViewLayout
{
public:
    explicit ZVFlowLayout(QObject *parent = nullptr);

    // Not owned; read only while preparing.
    ZVFlowLayoutDelegate *delegate() const { return m_delegate; }
    void setDelegate(ZVFlowLayoutDelegate *delegate) { m_delegate = delegate; }
    double minimumLineSpacing() const { return m_minimumLineSpacing; }
    void setMinimumLineSpacing(double spacing) { m_minimumLineSpacing = spacing; }
    double minimumInterItemSpacing() const { return m_minimumInterItemSpacing; }
    void setMinimumInterItemSpacing(double spacing) { m_minimumInterItemSpacing = spacing; }
    qint64 alignment() const { return m_alignment; }
    void setAlignment(qint64 alignment) { m_alignment = alignment; }
    // The result of the last preparation, one entry per section of the host.
    const QList<std::shared_ptr<ZVFlowLayoutSection>> &sections() const { return m_sections; }
    void setSections(const QList<std::shared_ptr<ZVFlowLayoutSection>> &sections) { m_sections = sections; }

    // Without a delegate the program stops: "Invalid parameter not satisfying: self.delegate".
    void prepareLayout() override;
    // Without an index path the program stops ("indexPath"); an item that was not
    // prepared answers the zero frame.
    CollectionViewLayoutAttributes
    layoutAttributesForItemAtIndexPath(const std::optional<IndexPath> &indexPath) const override;
    // The header or footer across the visible width; the zero frame for any other kind.
    CollectionViewLayoutAttributes layoutAttributesForSupplementaryItemInSection(qint64 section,
                                                                                 const QString &kind) const override;
    QStringList supplementaryKinds() const override { return {ZVFlowLayoutHeaderKind, ZVFlowLayoutFooterKind}; }
    // Items overlapping the rectangle with a positive area, by section, then item.
    QList<IndexPath> indexPathsForItemsInRect(const Rect &rect) const override;
    // The rows of a section across the host's content width; headers and footers lie outside.
    Rect rectForSectionAtIndex(qint64 section) const override;
    // A direction outside 0 to 3 stops the program.
    std::optional<IndexPath> indexPathForNextItemInDirection(int direction, const IndexPath &current) const override;

private:
    void adjustVerticalAlignmentForRow(const ZVFlowLayoutRow &row, ZVFlowLayoutSection &section) const;
    const ZVFlowLayoutSection *preparedSection(qint64 section) const;

    ZVFlowLayoutDelegate *m_delegate = nullptr;
    double m_minimumLineSpacing = 10.0;
    double m_minimumInterItemSpacing = 10.0;
    qint64 m_alignment = ZVFlowLayoutAlignmentTop;
    QList<std::shared_ptr<ZVFlowLayoutSection>> m_sections;
};
