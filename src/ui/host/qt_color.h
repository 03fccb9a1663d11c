#pragma once

#include "common/voltrane_palette.h"

#include <QColor>

namespace voltrane {

/// The palette's sRGB value as a Qt colour.
inline QColor toQColor(const Color& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.opacity));
}

inline QColor toQColor(const Color& color, double opacity) {
    return toQColor(color.withOpacity(opacity));
}

} // namespace voltrane
