// Colours from the packed 0xRRGGBB numbers that the service stores for each
// activity type.
#pragma once

#include <QColor>
#include <QtGlobal>

namespace Extension {

// Red from the bits 16 and up (unmasked), green from bits 8-15, blue from bits
// 0-7, each divided by 255 in single precision; alpha 1. A value of 2^24 or
// more would give red above 1.0: red is then clamped to 1.0, so such a number
// reads as full red with its own green and blue.
QColor colorWithRGB(quint64 rgb);

} // namespace Extension
