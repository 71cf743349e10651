#include "Images.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

QString Images::pathForName(const QString &name)
{
    return QStringLiteral(":/images/") + name;
}

bool Images::exists(const QString &name)
{
    // Names are flat (some come from the service as type image ids): no way into other resources.
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\'))
        return false;
    return QFile::exists(pathForName(name));
}

std::optional<QImage> Images::image(const QString &name, const QSize &pointSize, qreal devicePixelRatio)
{
    if (!exists(name))
        return std::nullopt;
    QFile file(pathForName(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : (qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);

    // Resource names drop ".svg" (and some keep another suffix), so the content decides.
    const bool isVector = data.left(4096).contains("<svg");
    QSvgRenderer renderer;
    if (isVector && renderer.load(data)) {
        const QSize points = pointSize.isEmpty() ? renderer.defaultSize() : pointSize;
        if (points.isEmpty())
            return std::nullopt;
        QImage image(points * ratio, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
        painter.end();
        image.setDevicePixelRatio(ratio);
        return image;
    }

    QImage bitmap = QImage::fromData(data);
    if (bitmap.isNull())
        return std::nullopt;
    if (!pointSize.isEmpty() && bitmap.size() != pointSize * ratio)
        bitmap = bitmap.scaled(pointSize * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    bitmap.setDevicePixelRatio(ratio);
    return bitmap;
}

std::optional<QPixmap> Images::pixmap(const QString &name, const QSize &pointSize, qreal devicePixelRatio)
{
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : (qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
    // Cells ask for the same few images again and again.
    const QString key
        = QStringLiteral("zvimage:%1:%2x%3@%4").arg(name).arg(pointSize.width()).arg(pointSize.height()).arg(ratio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    const std::optional<QImage> rendered = image(name, pointSize, ratio);
    if (!rendered)
        return std::nullopt;
    QPixmap pixmap = QPixmap::fromImage(*rendered);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

void Images::showInImageView(QLabel *view, const std::optional<QImage> &image)
{
    if (!image || image->isNull()) {
        view->clear();
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(*image);
    const QSizeF logical = pixmap.deviceIndependentSize();
    const QSizeF room = view->size();
    if (logical.width() > room.width() || logical.height() > room.height()) {
        const qreal ratio = pixmap.devicePixelRatio();
        pixmap = pixmap.scaled((room * ratio).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
    }
    view->setPixmap(pixmap);
}
