#include "app/tray_icon_renderer.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

// Each size a host asks for, shown on a white and on a black panel: the symbol (top half) and
// the figure (bottom half) must both have pixels far from the panel's colour.
TEST(TrayIconTest, SymbolAndFigureStandOutOnLightAndDarkPanelsAtEverySize) {
    for (const int side : TrayIconRenderer::kSides) {
        const QImage icon = TrayIconRenderer::draw("battery.75percent", "12 W", side);
        ASSERT_EQ(icon.size(), QSize(side, side));
        for (const QRgb panel : {qRgb(255, 255, 255), qRgb(0, 0, 0)}) {
            QImage shown(icon.size(), QImage::Format_RGB32);
            shown.fill(panel);
            QPainter(&shown).drawImage(0, 0, icon);
            int contrasting[2] = {0, 0};
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x) {
                    contrasting[y < side / 2 ? 0 : 1] +=
                        std::abs(qGray(shown.pixel(x, y)) - qGray(panel)) > 128;
                }
            }
            const double area = side * side / 2.0;
            EXPECT_GT(contrasting[0] / area, 0.05) << side << " px, symbol on " << qGray(panel);
            EXPECT_GT(contrasting[1] / area, 0.12) << side << " px, figure on " << qGray(panel);
        }
    }
}

} // namespace
} // namespace voltrane
