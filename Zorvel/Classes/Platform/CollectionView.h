// A vertically scrolling view of sectioned items: a pluggable layout gives the
// frames, and only the cells that meet the visible area exist on screen.
#pragma once

#include "CollectionViewCell.h"
#include "CollectionViewLayout.h"
#include "Geometry.h"
#include "IndexPath.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

class CollectionView;

class CollectionViewDataSource
{
public:
    virtual ~CollectionViewDataSource() = default;
    virtual qint64 numberOfSectionsInCollectionView(CollectionView *collectionView) = 0;
    virtual qint64 numberOfItemsInSection(CollectionView *collectionView, qint64 section) = 0;
    // Usually dequeueReusableCellWithIdentifier() and then the cell's contents.
    virtual CollectionViewCell *cellForItemAtIndexPath(CollectionView *collectionView, const IndexPath &indexPath) = 0;
};

class CollectionViewDelegate
{
public:
    virtual ~CollectionViewDelegate() = default;
    // Every click on an item, also on the one already selected, and every arrow-key move.
    virtual void didSelectItemAtIndexPath(CollectionView *collectionView, const IndexPath &indexPath) = 0;
};

// Data source, delegate and layout are not owned: they must outlive the view or be
// replaced first (a destroyed layout is noticed and treated as none). Cells belong
// to the view. Sizes and counts are read at reloadData() and kept until the next one.
class CollectionView : public QScrollArea
{
public:
    using CellFactory = std::function<CollectionViewCell *(QWidget *parent)>;

    explicit CollectionView(QWidget *parent = nullptr);
    ~CollectionView() override;

    // A new data source is read at the next reloadData() or query.
    void setDataSource(CollectionViewDataSource *dataSource);
    CollectionViewDataSource *dataSource() const { return m_dataSource; }
    void setDelegate(CollectionViewDelegate *delegate) { m_delegate = delegate; }
    CollectionViewDelegate *delegate() const { return m_delegate; }

    // A cell class is built as Cell(const Rect &frame, QWidget *parent) with the zero
    // rect when it has such a constructor, else as Cell(QWidget *parent); the view then
    // gives it its item's frame.
    template<class Cell> void registerClass(const QString &reuseIdentifier)
    {
        static_assert(std::is_base_of_v<CollectionViewCell, Cell>);
        registerCellFactory(reuseIdentifier, [](QWidget *parent) -> CollectionViewCell * {
            if constexpr (std::is_constructible_v<Cell, const Rect &, QWidget *>)
                return new Cell(Rect {}, parent);
            else
                return new Cell(parent);
        });
    }
    void registerCellFactory(const QString &reuseIdentifier, CellFactory factory);
    // A free cell of that identifier (after its prepareForReuse()), or a new one.
    // An identifier that was never registered stops the program.
    CollectionViewCell *dequeueReusableCellWithIdentifier(const QString &reuseIdentifier, const IndexPath &indexPath);

    void setCollectionViewLayout(CollectionViewLayout *layout);
    CollectionViewLayout *collectionViewLayout() const { return m_layout; }

    // Reads the counts anew, prepares the layout, asks for every visible cell again;
    // clears the selection.
    void reloadData();

    QList<IndexPath> selectionIndexPaths() const { return m_selection; }
    // Selects one item (or none) without a report, as a click would show it.
    void setSelectionIndexPaths(const QList<IndexPath> &indexPaths);

    // The size of the visible area, which the layout takes as its content area.
    Size contentSize() const;
    // The visible part of the document, in document coordinates (top-left origin).
    Rect documentVisibleRect() const;
    // Scrolls vertically so that the rectangle (document coordinates) is in sight.
    void scrollRectToVisible(const Rect &rect);

    qint64 numberOfSections() const;
    qint64 numberOfItemsInSection(qint64 section) const;
    // The zero rect when the index path is absent or names no section.
    Rect frameForItemAtIndexPath(const std::optional<IndexPath> &indexPath) const;
    // Empty for the zero rect.
    QList<IndexPath> indexPathsForItemsInRect(const Rect &rect) const;
    std::optional<IndexPath> indexPathBefore(const IndexPath &indexPath) const;
    std::optional<IndexPath> indexPathAfter(const IndexPath &indexPath) const;

    // The cell shown for an item, or none when it is out of sight.
    CollectionViewCell *cellForItemAtIndexPath(const IndexPath &indexPath) const;
    QList<CollectionViewCell *> visibleCells() const;
    // Cells in existence: shown plus kept for reuse.
    int cellWidgetCount() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class CollectionViewLayout;

    void layoutInvalidated();
    void prepareIfNeeded() const;
    void prepare();
    void reloadCounts();
    void tile();
    void enqueue(CollectionViewCell *cell);
    void selectByUser(const IndexPath &indexPath);
    void applySelectionToCells();

    CollectionViewDataSource *m_dataSource = nullptr;
    CollectionViewDelegate *m_delegate = nullptr;
    QPointer<CollectionViewLayout> m_layout;
    QWidget *m_document = nullptr;

    QHash<QString, CellFactory> m_factories;
    QHash<QString, QList<CollectionViewCell *>> m_reuseQueues;
    QHash<IndexPath, CollectionViewCell *> m_visibleCells;
    QList<IndexPath> m_selection;

    std::vector<qint64> m_itemCounts;
    bool m_countsValid = false;
    bool m_needsPrepare = true;
    bool m_preparing = false;
    bool m_tiling = false;
    Size m_preparedSize;
};
