#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_table.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

// Distributions keep the face in different folders: its family name finds it in any of them, and
// the file is the way in where the font configuration does not list it.
TEST(IconFontLookupTest, FindsTheFaceByFamilyElseByFile) {
    for (const auto& [family, file] :
         {std::pair{SymbolGlyphs::kFamily, "/usr/share/fonts/google-material-design-icons/absent.ttf"},
          std::pair{"No Such Icon Face 4711", SymbolGlyphs::kDefaultFontPath}}) {
        const SymbolGlyphs glyphs(QString::fromLatin1(family), QString::fromLatin1(file));
        ASSERT_TRUE(glyphs.iconFontAvailable()) << family;
        for (const SymbolEntry& entry : SymbolTable::entries()) {
            EXPECT_EQ(glyphs.source(entry.systemName), SymbolGlyphs::Source::iconFont) << entry.systemName;
        }
    }
}

} // namespace
} // namespace voltrane
