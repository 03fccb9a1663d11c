#include "support/param_name.h"
#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_label.h"
#include "ui/host/symbol_table.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace voltrane {
namespace {

struct InkBox {
    int pixels = 0;
    QRect bounds;
};

InkBox ink(const QImage& image) {
    InkBox box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 40) {
                ++box.pixels;
                box.bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

QImage render(const SymbolGlyphs& glyphs, std::string_view name, qreal size,
              QFont::Weight weight = QFont::Normal, QColor color = Qt::white) {
    // Wide canvas so a symbol drawn as its ligature word would show as a wide ink box.
    QImage image(400, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    glyphs.paint(painter, QRectF(200 - 32, 0, 64, 64), name, size, weight, color);
    painter.end();
    return image;
}

// Every system-symbol name the models and views use.
std::vector<std::string> usedNames() {
    std::istringstream in(
        "arrow.clockwise arrow.down.right arrow.triangle.branch arrow.up.right battery.100percent "
        "battery.100percent.bolt battery.75percent bolt.fill bolt.horizontal.fill bolt.shield.fill "
        "bolt.slash brain.head.profile cable.connector cpu display ellipsis.circle info.circle memorychip "
        "point.3.connected.trianglepath.dotted power powerplug.fill questionmark.circle "
        "sparkles.rectangle.stack waveform.path.ecg");
    std::vector<std::string> names;
    for (std::string name; in >> name;) {
        names.push_back(name);
    }
    return names;
}

TEST(SymbolTable, CoversEveryUsedNameWithDistinctGlyphs) {
    std::set<char16_t> codepoints;
    const std::vector<std::string> names = usedNames();
    for (const std::string& name : names) {
        const SymbolEntry* entry = SymbolTable::find(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_FALSE(entry->ligature.empty()) << name;
        EXPECT_FALSE(entry->fallback.empty()) << name;
        codepoints.insert(entry->codepoint);
    }
    EXPECT_EQ(codepoints.size(), names.size());
    EXPECT_EQ(SymbolTable::entries().size(), names.size());
    EXPECT_EQ(SymbolTable::find("no.such.symbol"), nullptr);
}

class EverySymbol : public ::testing::TestWithParam<SymbolEntry> {};

TEST_P(EverySymbol, DrawsOneIconFontGlyphInsideItsBox) {
    const SymbolGlyphs& glyphs = SymbolGlyphs::shared();
    ASSERT_TRUE(glyphs.iconFontAvailable());
    EXPECT_EQ(glyphs.source(GetParam().systemName), SymbolGlyphs::Source::iconFont);
    const InkBox box = ink(render(glyphs, GetParam().systemName, 24));
    EXPECT_GT(box.pixels, 20);
    // The glyph stays within its 24-pixel em box, centred on x = 200: never a word.
    EXPECT_GE(box.bounds.left(), 200 - 13);
    EXPECT_LE(box.bounds.right(), 200 + 13);
    EXPECT_LE(box.bounds.height(), 25);
}

INSTANTIATE_TEST_SUITE_P(Table, EverySymbol,
                         ::testing::ValuesIn(SymbolTable::entries().begin(), SymbolTable::entries().end()),
                         [](const auto& row) {
                             std::string name(row.param.systemName);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(SymbolGlyphs, TakesTheColourAndThickensForHeavierWeights) {
    const SymbolGlyphs& glyphs = SymbolGlyphs::shared();
    const QColor tint(90, 170, 240);
    const QImage regular = render(glyphs, "bolt.fill", 24, QFont::Normal, tint);
    const QImage bold = render(glyphs, "bolt.fill", 24, QFont::Bold, tint);
    EXPECT_GT(ink(bold).pixels, ink(regular).pixels);
    int solid = 0;
    for (int y = 0; y < regular.height(); ++y) {
        for (int x = 0; x < regular.width(); ++x) {
            if (qAlpha(regular.pixel(x, y)) == 255) {
                ++solid;
                EXPECT_EQ(QColor(regular.pixel(x, y)).rgb(), tint.rgb());
            }
        }
    }
    EXPECT_GT(solid, 0);
}

TEST(SymbolGlyphs, LargerSizesDrawLargerGlyphs) {
    const SymbolGlyphs& glyphs = SymbolGlyphs::shared();
    const InkBox small = ink(render(glyphs, "powerplug.fill", 14));
    const InkBox large = ink(render(glyphs, "powerplug.fill", 25));
    EXPECT_NEAR(static_cast<double>(large.bounds.height()) / small.bounds.height(), 25.0 / 14.0, 0.25);
}

TEST(SymbolGlyphs, WithoutTheIconFontFallsBackToACharacterNotTheWord) {
    const SymbolGlyphs missing(QStringLiteral("No Such Icon Face 4711"),
                               QDir::temp().filePath(QStringLiteral("no-such-font-4711.ttf")));
    EXPECT_FALSE(missing.iconFontAvailable());
    for (const SymbolEntry& entry : SymbolTable::entries()) {
        EXPECT_EQ(missing.source(entry.systemName), SymbolGlyphs::Source::fallbackText);
        const InkBox box = ink(render(missing, entry.systemName, 24));
        EXPECT_GT(box.pixels, 0) << entry.systemName;
        EXPECT_LE(box.bounds.width(), 40) << entry.systemName;
    }
    const InkBox unknown = ink(render(missing, "no.such.symbol", 24));
    EXPECT_LE(unknown.bounds.width(), 40);
}

TEST(SymbolLabel, SizesToTheSymbolAndDrawsIt) {
    SymbolLabel label;
    label.setSymbol("cpu");
    label.setSymbolSize(18);
    EXPECT_GE(label.sizeHint().height(), 18);
    label.resize(label.sizeHint());
    QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    label.render(&image);
    EXPECT_GT(ink(image).pixels, 10);
}

} // namespace
} // namespace voltrane
