// Images by name from the program's resources (":/images/NAME"). Vector images
// are rendered at the device pixel ratio, so they stay crisp on dense screens.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <optional>

class Images final
{
public:
    // The resource path of a name: ":/images/NAME".
    static QString pathForName(const QString &name);
    // False for a name with a path separator: names are flat.
    static bool exists(const QString &name);

    // The image in points (size; empty: the image's own size) at the pixel
    // ratio given (0: the application's). std::nullopt when no image has that
    // name or its data cannot be read.
    static std::optional<QImage> image(const QString &name, const QSize &pointSize = {}, qreal devicePixelRatio = 0);
    // Shows an image in a label as an image view does: at its own size, shrunk
    // to fit (keeping its shape) when larger; none empties the label.
    static void showInImageView(QLabel *view, const std::optional<QImage> &image);

    static std::optional<QPixmap> pixmap(const QString &name, const QSize &pointSize = {}, qreal devicePixelRatio = 0);
};
