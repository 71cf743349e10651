// The square tile of one activity type, type group or "Go back" item: the name
// along the bottom, the tinted image above it and a group's member count.
#pragma once

#include "CollectionViewCell.h"
#include "Geometry.h"
#include "TextView.h"

#include <QImage>
#include <QLabel>
#include <optional>

class ActivityTypeViewCell final : public CollectionViewCell
{
public:
    // Keeps the frame's origin; the size is always 53 x 53.
    explicit ActivityTypeViewCell(const Rect &frame = {}, QWidget *parent = nullptr);

    // The screen sets all three on every use, so a reused tile keeps nothing stale.
    TextView *typeLabel() const { return m_typeLabel; }
    TextView *childrenCountLabel() const { return m_childrenCountLabel; }
    QLabel *typeImageView() const { return m_typeImageView; }

    // Shows the image at its own size, centred (shrunk to fit when larger); none empties the view.
    void setTypeImage(const std::optional<QImage> &image);

private:
    TextView *m_typeLabel = nullptr;
    TextView *m_childrenCountLabel = nullptr;
    QLabel *m_typeImageView = nullptr;
};
