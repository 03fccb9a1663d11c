#include "support/param_name.h"
#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_table.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct LookupCase {
    const char* name;
    const char* family;
    const char* fallbackPath;
};

class IconFontLookupTest : public ::testing::TestWithParam<LookupCase> {};

// Distributions keep the face in different folders; the family name finds it in any of them, and
// the file is the way in where the font configuration does not list it.
TEST_P(IconFontLookupTest, DrawsEverySymbolFromTheIconFace) {
    const SymbolGlyphs glyphs(QString::fromLatin1(GetParam().family),
                              QString::fromLatin1(GetParam().fallbackPath));
    ASSERT_TRUE(glyphs.iconFontAvailable());
    for (const SymbolEntry& entry : SymbolTable::entries()) {
        EXPECT_EQ(glyphs.source(entry.systemName), SymbolGlyphs::Source::iconFont) << entry.systemName;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Installs, IconFontLookupTest,
    ::testing::Values(LookupCase{"ByFamilyOutsideDebiansFolder", SymbolGlyphs::kFamily,
                                 "/usr/share/fonts/google-material-design-icons/absent.ttf"},
                      LookupCase{"ByFileWhenTheFamilyIsNotListed", "No Such Icon Face 4711",
                                 SymbolGlyphs::kDefaultFontPath}),
    testing::ParamName());

} // namespace
} // namespace voltrane
