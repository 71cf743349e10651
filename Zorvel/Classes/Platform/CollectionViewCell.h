// The reusable cell of a CollectionView: a widget placed at its item's frame,
// kept for reuse under its identifier when it scrolls out of sight.
#pragma once

#include <QString>
#include <QWidget>

class CollectionViewCell : public QWidget
{
public:
    explicit CollectionViewCell(QWidget *parent = nullptr);

    // A plain child widget that always fills the cell; made on first use.
    QWidget *contentView();

    // The identifier the cell was dequeued under; empty for a cell the view did not make.
    QString reuseIdentifier() const { return m_reuseIdentifier; }

    bool isSelected() const { return m_selected; }
    // Overrides that show the selection call this first.
    virtual void setSelected(bool selected);

    // Called when the cell is handed out again, before the data source sets it up.
    virtual void prepareForReuse() { }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class CollectionView;
    QWidget *m_contentView = nullptr;
    QString m_reuseIdentifier;
    bool m_selected = false;
};
