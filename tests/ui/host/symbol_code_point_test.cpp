#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_table.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

// Symbols are drawn from the code point when the face maps it, so every code point in the table
// must name the glyph its ligature word shapes to, in the installed face and in the file alike.
TEST(SymbolTable, EachCodePointNamesTheGlyphOfItsLigature) {
    const QString family = QString::fromLatin1(SymbolGlyphs::kFamily);
    QFont font(family);
    font.setPixelSize(64);
    const QRawFont installed = QRawFont::fromFont(font),
                   file(QString::fromLatin1(SymbolGlyphs::kDefaultFontPath), 64);
    ASSERT_EQ(installed.familyName(), family);
    ASSERT_TRUE(file.isValid());
    for (const SymbolEntry& entry : SymbolTable::entries()) {
        const QString ligature =
            QString::fromUtf8(entry.ligature.data(), static_cast<qsizetype>(entry.ligature.size()));
        QTextLayout layout(ligature, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        ASSERT_EQ(runs.size(), 1) << entry.systemName;
        ASSERT_EQ(runs.front().glyphIndexes().size(), 1) << entry.systemName;
        const QString character(QChar(entry.codepoint));
        const quint32 shaped = runs.front().glyphIndexes().front();
        EXPECT_NE(shaped, 0U) << entry.systemName;
        EXPECT_EQ(installed.glyphIndexesForString(character), QList<quint32>{shaped}) << entry.systemName;
        EXPECT_EQ(file.pathForGlyph(file.glyphIndexesForString(character).value(0)),
                  installed.pathForGlyph(shaped))
            << entry.systemName;
    }
}

} // namespace
} // namespace voltrane
