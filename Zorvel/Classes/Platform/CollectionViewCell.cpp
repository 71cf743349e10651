#include "CollectionViewCell.h"

#include <QResizeEvent>

CollectionViewCell::CollectionViewCell(QWidget *parent)
    : QWidget(parent)
{ }

QWidget *CollectionViewCell::contentView()
{
    if (!m_contentView) {
        m_contentView = new QWidget(this);
        m_contentView->setGeometry(rect());
        m_contentView->show();
    }
    return m_contentView;
}

void CollectionViewCell::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void CollectionViewCell::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_contentView)
        m_contentView->setGeometry(rect());
}
