// Tinted images: the painting behind Extension::imageTintedWithColor.
#include "QImage+Extension.h"

#include <QPainter>

namespace Extension {

std::optional<QImage> imageTintedWithColor(const std::optional<QImage> &image, const std::optional<QColor> &color)
{
    if (!image)
        return std::nullopt;
    if (!color || !color->isValid() || image->isNull())
        return *image; // shared until either side is written, so still a copy

    // Painting needs a format QPainter can draw into; images with an alpha
    // channel keep one so that source-atop has an opacity to keep.
    QImage tinted
        = image->convertToFormat(image->hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QPainter painter(&tinted); // detaches: the source keeps its pixels
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.resetTransform();
    painter.fillRect(QRect(QPoint(0, 0), tinted.size()), *color);
    painter.end();
    return tinted;
}

} // namespace Extension
