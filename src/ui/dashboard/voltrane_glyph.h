#pragma once

#include <QPainterPath>
#include <QRectF>

namespace voltrane {

/// The brand glyph: one stroke that splits into three branches. An open path, only ever
/// stroked, drawn in the rectangle it is given.
class VoltraneGlyph {
public:
    VoltraneGlyph() = delete;

    static QPainterPath path(const QRectF& rect);
};

} // namespace voltrane
