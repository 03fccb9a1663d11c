#include "ui/dashboard/state_style.h"
#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_table.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace voltrane {
namespace {

/// The ink's bounds on a wide canvas, where a symbol drawn as its ligature word would show
/// as a wide box; empty when nothing was drawn.
QRect inkOf(const SymbolGlyphs& glyphs, std::string_view name) {
    QImage image(400, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    glyphs.paint(painter, QRectF(200 - 32, 0, 64, 64), name, 24, QFont::Normal, Qt::white);
    painter.end();
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            bounds |= qAlpha(image.pixel(x, y)) > 40 ? QRect(x, y, 1, 1) : QRect();
        }
    }
    return bounds;
}

class EverySymbol : public ::testing::TestWithParam<SymbolEntry> {};

TEST_P(EverySymbol, DrawsOneIconFontGlyphInsideItsBoxOrAFallbackCharacter) {
    const SymbolGlyphs& glyphs = SymbolGlyphs::shared();
    ASSERT_TRUE(glyphs.iconFontAvailable());
    EXPECT_EQ(glyphs.source(GetParam().systemName), SymbolGlyphs::Source::iconFont);
    const QRect glyph = inkOf(glyphs, GetParam().systemName);
    // Within its 24-pixel em box, centred on x = 200: never a word.
    EXPECT_GT(glyph.width() * glyph.height(), 20);
    EXPECT_TRUE(QRect(200 - 13, 0, 27, 64).contains(glyph));
    EXPECT_LE(glyph.height(), 25);

    const SymbolGlyphs missing(QStringLiteral("No Such Icon Face 4711"),
                               QDir::temp().filePath(QStringLiteral("no-such-font-4711.ttf")));
    EXPECT_FALSE(missing.iconFontAvailable());
    EXPECT_EQ(missing.source(GetParam().systemName), SymbolGlyphs::Source::fallbackText);
    const QRect fallback = inkOf(missing, GetParam().systemName);
    EXPECT_FALSE(fallback.isEmpty());
    EXPECT_LE(fallback.width(), 40);
}

INSTANTIATE_TEST_SUITE_P(Table, EverySymbol,
                         ::testing::ValuesIn(SymbolTable::entries().begin(), SymbolTable::entries().end()),
                         [](const auto& row) {
                             std::string name(row.param.systemName);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(SymbolTable, EveryStateHasItsOwnTraySymbolAndEveryStateSymbolAGlyph) {
    std::set<std::string_view> tray;
    for (const PowerState state : {PowerState::charging, PowerState::charged, PowerState::pluggedIn,
                                   PowerState::onBattery, PowerState::unavailable}) {
        tray.insert(menuBarSymbol(state));
        EXPECT_NE(SymbolTable::find(menuBarSymbol(state)), nullptr) << menuBarSymbol(state);
        EXPECT_NE(SymbolTable::find(stateStyle(state).symbol), nullptr) << stateStyle(state).symbol;
    }
    EXPECT_EQ(tray.size(), 5u);
    EXPECT_EQ(SymbolTable::find("no.such.symbol"), nullptr);
    EXPECT_LE(
        inkOf(SymbolGlyphs(QStringLiteral("No Such Icon Face 4711"), QStringLiteral("/nonexistent.ttf")),
              "no.such.symbol")
            .width(),
        40);
}

} // namespace
} // namespace voltrane
