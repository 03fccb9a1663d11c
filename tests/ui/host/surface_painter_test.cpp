#include "ui/host/surface_painter.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

constexpr qreal kCapsule = -1; // paints a capsule instead of a rounded rectangle

QImage paint(const SurfaceStyle& style, qreal radius, const QRectF& rect = {20, 20, 100, 60}) {
    QImage image(140, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (radius == kCapsule) {
        SurfacePainter::paintCapsule(painter, rect, style);
    } else {
        SurfacePainter::paintRoundedRect(painter, rect, radius, style);
    }
    painter.end();
    return image;
}

TEST(SurfacePainter, FillsInsideAndLeavesRoundedCornersClear) {
    const QImage image = paint({QColor(255, 0, 0), {}, Qt::transparent, 0, {}}, 18);
    EXPECT_EQ(image.pixelColor(70, 50), QColor(255, 0, 0));
    EXPECT_EQ(qAlpha(image.pixel(21, 21)), 0);   // cut off by the corner radius
    EXPECT_EQ(qAlpha(image.pixel(70, 21)), 255); // the straight top edge is filled
    EXPECT_EQ(qAlpha(image.pixel(10, 50)), 0);   // nothing outside
}

TEST(SurfacePainter, GradientRunsBetweenUnitPoints) {
    const UnitGradient gradient{{0, 0}, {1, 1}, {{0, QColor(255, 0, 0)}, {1, QColor(0, 0, 255)}}};
    const QImage image = paint({Qt::transparent, gradient, Qt::transparent, 0, {}}, 0);
    const QColor topLeading = image.pixelColor(21, 21);
    const QColor bottomTrailing = image.pixelColor(118, 78);
    EXPECT_GT(topLeading.red(), 240);
    EXPECT_LT(topLeading.blue(), 15);
    EXPECT_GT(bottomTrailing.blue(), 240);
    EXPECT_LT(bottomTrailing.red(), 15);
}

TEST(SurfacePainter, StrokeIsCentredOnTheOutline) {
    const QImage image = paint({Qt::transparent, {}, QColor(0, 255, 0), 2, {}}, 0);
    EXPECT_GT(qAlpha(image.pixel(70, 20)), 200);
    EXPECT_EQ(qAlpha(image.pixel(70, 50)), 0); // no fill
}

TEST(SurfacePainter, CapsuleRoundsTheShortSideFully) {
    const QImage image = paint({Qt::white, {}, Qt::transparent, 0, {}}, kCapsule, {20, 40, 100, 20});
    EXPECT_EQ(qAlpha(image.pixel(21, 41)), 0);
    EXPECT_EQ(qAlpha(image.pixel(30, 50)), 255);
    EXPECT_EQ(qAlpha(image.pixel(21, 50)), 255);
}

TEST(SurfacePainter, ShadowGlowsOutsideAndIsBlurredOncePerShape) {
    const SurfaceStyle style{
        Qt::transparent, {}, Qt::transparent, 0, SurfaceShadow{QColor(0, 0, 255, 200), 14, {0, 0}}};
    const int before = SurfacePainter::shadowBlurCount();
    const QImage first = paint(style, 18);
    EXPECT_EQ(SurfacePainter::shadowBlurCount(), before + 1);
    EXPECT_EQ(paint(style, 18), first);
    EXPECT_EQ(SurfacePainter::shadowBlurCount(), before + 1);
    EXPECT_GT(qAlpha(first.pixel(70, 15)), 0); // just above the card
    EXPECT_GT(qBlue(first.pixel(70, 15)), 0);
    EXPECT_GT(qAlpha(first.pixel(70, 19)), qAlpha(first.pixel(70, 8))); // fades outward
    paint(style, 18, {20, 20, 90, 60});
    EXPECT_EQ(SurfacePainter::shadowBlurCount(), before + 2);
}

} // namespace
} // namespace voltrane
