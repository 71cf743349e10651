// Colours from packed numbers: the arithmetic behind Extension::colorWithRGB.
#include "QColor+Extension.h"

#include <algorithm>

namespace Extension {

QColor colorWithRGB(quint64 rgb)
{
    const float red = std::min(float(rgb >> 16) / 255.0f, 1.0f);
    const float green = float((rgb >> 8) & 255) / 255.0f;
    const float blue = float(rgb & 255) / 255.0f;
    return QColor::fromRgbF(red, green, blue, 1.0f);
}

} // namespace Extension
