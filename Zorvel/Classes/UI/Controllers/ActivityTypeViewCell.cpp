#include "ActivityTypeViewCell.h"

#include "Images.h"

#include "TextView.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPixmap>

namespace {

constexpr Size kTileSize {53, 53};
constexpr Rect kTypeLabelFrame {0, 0, 50, 15};
constexpr Rect kChildrenCountFrame {0, 35, 50, 15};
constexpr Rect kTypeImageFrame {0, 15, 50, 35};

TextView *makeLabel(QWidget *parent, Qt::Alignment alignment, const Rect &frame)
{
    auto *label = new TextView(parent);
    // Sizes are in points of the view's coordinates, which are logical pixels here.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(12);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    // Clicks belong to the tile, which the collection view selects.
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    Geometry::setFrame(label, frame);
    return label;
}

} // namespace

ActivityTypeViewCell::ActivityTypeViewCell(const Rect &frame, QWidget *parent)
    : CollectionViewCell(parent)
{
    Geometry::setFrame(this, {frame.x, frame.y, kTileSize.width, kTileSize.height});
    // Straight on the tile, in this order: the image view, made last, lies above the count.
    m_typeLabel = makeLabel(this, Qt::AlignHCenter, kTypeLabelFrame);
    m_childrenCountLabel = makeLabel(this, Qt::AlignRight, kChildrenCountFrame);
    m_typeImageView = new QLabel(this);
    m_typeImageView->setAlignment(Qt::AlignCenter);
    m_typeImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    Geometry::setFrame(m_typeImageView, kTypeImageFrame);
}

void ActivityTypeViewCell::setTypeImage(const std::optional<QImage> &image)
{
    Images::showInImageView(m_typeImageView, image);
}
