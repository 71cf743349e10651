// The pluggable layout of a CollectionView: it is prepared by the view and then
// answers frames, rectangle queries and arrow-key moves from what it prepared.
#pragma once

#include "Geometry.h"
#include "IndexPath.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class CollectionView;

// What a layout answers for one item or supplementary view; a new value per answer.
struct CollectionViewLayoutAttributes
{
    Rect frame;
    double alpha = 1.0;
};

// Directions the view sends for the arrow keys.
inline constexpr int CollectionViewDirectionLeft = 0;
inline constexpr int CollectionViewDirectionRight = 1;
inline constexpr int CollectionViewDirectionUp = 2;
inline constexpr int CollectionViewDirectionDown = 3;

class CollectionViewLayout : public QObject
{
public:
    explicit CollectionViewLayout(QObject *parent = nullptr)
        : QObject(parent)
    { }
    ~CollectionViewLayout() override;

    // The view the layout is installed in; not owned, absent until installed.
    CollectionView *collectionView() const { return m_collectionView; }

    // The base reports no content size: the view sizes its document from the section rectangles.
    virtual Size collectionViewContentSize() const { return {}; }

    // Called by the view before any query, after every reload, invalidation and change of the visible size.
    virtual void prepareLayout() { }

    virtual CollectionViewLayoutAttributes
    layoutAttributesForItemAtIndexPath(const std::optional<IndexPath> &indexPath) const
    {
        Q_UNUSED(indexPath);
        return {};
    }
    virtual CollectionViewLayoutAttributes layoutAttributesForSupplementaryItemInSection(qint64 section,
                                                                                         const QString &kind) const
    {
        Q_UNUSED(section);
        Q_UNUSED(kind);
        return {};
    }
    virtual QList<IndexPath> indexPathsForItemsInRect(const Rect &rect) const
    {
        Q_UNUSED(rect);
        return {};
    }
    // The kinds of supplementary view (headers, footers) the layout places next to the sections.
    virtual QStringList supplementaryKinds() const { return {}; }
    virtual Rect rectForSectionAtIndex(qint64 section) const
    {
        Q_UNUSED(section);
        return {};
    }
    // direction is one of CollectionViewDirection*; none keeps the selection where it is.
    virtual std::optional<IndexPath> indexPathForNextItemInDirection(int direction, const IndexPath &current) const
    {
        Q_UNUSED(direction);
        Q_UNUSED(current);
        return std::nullopt;
    }

    // Asks the view to prepare the layout again before its next query and to place its cells anew.
    virtual void invalidateLayout();
    // Every change of the visible size invalidates; a layout may decline.
    virtual bool shouldInvalidateLayoutForBoundsChange(const Rect &newBounds) const
    {
        Q_UNUSED(newBounds);
        return true;
    }

private:
    friend class CollectionView;
    CollectionView *m_collectionView = nullptr;
};
