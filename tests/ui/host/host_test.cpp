#include "support/temp_dir.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/host_fonts.h"
#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_table.h"

#include <QFontDatabase>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

namespace voltrane {
namespace {

TEST(AccessibilityEnvironment, ReadsTheDesktopWithoutWaitingAndFollowsItsAnswer) {
    const testing::TempDir bin; // a gsettings that answers only once the test lets it
    std::filesystem::permissions(
        bin.write("gsettings",
                  "#!/bin/sh\nPATH=/usr/bin:/bin\n"
                  "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.02; done\n"
                  "case \"$3\" in enable-animations) echo false;; high-contrast) echo true;; esac\n"),
        std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().c_str());
    const std::unique_ptr<AccessibilityEnvironment> environment(AccessibilityEnvironment::fromDesktop());
    qputenv("PATH", path);
    EXPECT_FALSE(environment->reduceMotion() || environment->reduceTransparency());
    bin.write("go", "");
    QTRY_VERIFY_WITH_TIMEOUT(environment->reduceMotion() && environment->reduceTransparency(), 5000);
}

// Distributions keep the icon face in different folders.
TEST(SymbolGlyphs, FindTheFaceByFamilyElseByFileElseFallBack) {
    const QString noFamily = QStringLiteral("No Such Icon Face 4711"),
                  noFile = QStringLiteral("/nonexistent.ttf");
    const SymbolGlyphs byFamily(QString::fromLatin1(SymbolGlyphs::kFamily), noFile),
        missing(noFamily, noFile);
    const SymbolGlyphs byFile(noFamily, QString::fromLatin1(SymbolGlyphs::kDefaultFontPath));
    for (const SymbolEntry& entry : SymbolTable::entries()) {
        EXPECT_EQ(byFamily.source(entry.systemName), SymbolGlyphs::Source::iconFont) << entry.systemName;
        EXPECT_EQ(byFile.source(entry.systemName), SymbolGlyphs::Source::iconFont) << entry.systemName;
        EXPECT_EQ(missing.source(entry.systemName), SymbolGlyphs::Source::fallbackText) << entry.systemName;
    }
}

// Without a desktop theme the system font is "Sans Serif", a name no installed face has: the tray's
// figure must still get a Latin face of its own, not the CJK collection listed behind it.
TEST(HostFonts, LatinTextGetsAnInstalledLatinFace) {
    const QString family = HostFonts::latinFamily();
    EXPECT_TRUE(QFontDatabase::hasFamily(family)) << family.toStdString();
    EXPECT_NE(family, HostFonts::cjkFamily());
}

} // namespace
} // namespace voltrane
