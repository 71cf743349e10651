// Type icons painted in one colour: the icon's silhouette in its type's
// colour, for the tiles and the activity rows.
#pragma once

#include <QColor>
#include <QImage>
#include <optional>

namespace Extension {

// A copy of the image with every pixel in the colour and its own opacity kept
// (a source-atop fill), so fully transparent pixels stay transparent. The
// image passed in is never changed. Without a colour (or with an invalid one)
// the result is an untinted copy; without an image there is no result.
std::optional<QImage> imageTintedWithColor(const std::optional<QImage> &image, const std::optional<QColor> &color);

} // namespace Extension
