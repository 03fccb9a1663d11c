#include "support/param_name.h"
#include "ui/host/host_fonts.h"
#include "ui/host/text_label.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QStringList>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct StyleRow {
    const char* name;
    TextStyle style;
    qreal size;
    QFont::Weight weight;
};

class SemanticStyles : public ::testing::TestWithParam<StyleRow> {};

TEST_P(SemanticStyles, HaveThePlatformSizeAndWeight) {
    const QFont font = HostFonts::style(GetParam().style);
    EXPECT_DOUBLE_EQ(HostFonts::pixelSize(font), GetParam().size);
    EXPECT_EQ(font.weight(), GetParam().weight);
    EXPECT_EQ(HostFonts::style(GetParam().style, QFont::DemiBold).weight(), QFont::DemiBold);
}

INSTANTIATE_TEST_SUITE_P(Styles, SemanticStyles,
                         ::testing::Values(StyleRow{"caption", TextStyle::caption, 10, QFont::Normal},
                                           StyleRow{"caption2", TextStyle::caption2, 10, QFont::Normal},
                                           StyleRow{"callout", TextStyle::callout, 12, QFont::Normal},
                                           StyleRow{"subheadline", TextStyle::subheadline, 11, QFont::Normal},
                                           StyleRow{"headline", TextStyle::headline, 13, QFont::Bold},
                                           StyleRow{"title3", TextStyle::title3, 15, QFont::Normal}),
                         testing::ParamName{});

struct SizeRow {
    const char* name;
    qreal size;
};

class SystemSizes : public ::testing::TestWithParam<SizeRow> {};

TEST_P(SystemSizes, ReadBackAsTheSameNumberOfPixels) {
    const QFont font = HostFonts::system(GetParam().size, QFont::DemiBold);
    EXPECT_NEAR(HostFonts::pixelSize(font), GetParam().size, 1e-6);
    // What the font engine resolves must not be rounded to a whole point.
    EXPECT_NEAR(QFontInfo(font).pixelSize(), GetParam().size, 0.6);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SystemSizes,
                         ::testing::Values(SizeRow{"whole_24", 24}, SizeRow{"half_8_5", 8.5},
                                           SizeRow{"half_11_5", 11.5}),
                         testing::ParamName{});

TEST(HostFonts, MonospacedDigitsAreAllOneWidth) {
    const QFontMetricsF metrics(HostFonts::system(16, QFont::DemiBold, true));
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(QLatin1Char(digit)), zero) << digit;
    }
    EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(QStringLiteral("11.1 W")),
                     metrics.horizontalAdvance(QStringLiteral("88.8 W")));
}

TEST(HostFonts, ChineseFallsBackToTheCjkFace) {
    const QFont font = HostFonts::system(12);
    EXPECT_TRUE(font.families().contains(HostFonts::cjkFamily()));
    // The Chinese text has glyphs in the resolved family chain (no empty boxes).
    const QFontMetricsF metrics(font);
    EXPECT_TRUE(metrics.inFontUcs4(U'电') || QFontMetricsF(QFont(HostFonts::cjkFamily())).inFontUcs4(U'电'));
}

TEST(TextLabel, ShrinksNoFurtherThanItsMinimumScale) {
    TextLabel label;
    label.setFont(HostFonts::system(16, QFont::DemiBold, true));
    label.setText(QStringLiteral("123.4 W"));
    label.setMinimumScaleFactor(0.75);
    const int natural = label.sizeHint().width();
    const qreal full = QFontInfo(label.font()).pointSizeF();

    label.resize(natural + 10, 20);
    EXPECT_DOUBLE_EQ(QFontInfo(label.fittedFont()).pointSizeF(), full);

    label.resize(natural * 9 / 10, 20);
    const qreal shrunk = label.fittedFont().pointSizeF();
    EXPECT_LT(shrunk, full);
    EXPECT_GT(shrunk, full * 0.75);

    label.resize(natural / 3, 20);
    EXPECT_NEAR(label.fittedFont().pointSizeF(), full * 0.75, 1e-6);
    EXPECT_LE(label.minimumSizeHint().width(), natural * 3 / 4 + 1);
}

TEST(TextLabel, WithoutAScaleKeepsItsFont) {
    TextLabel label;
    label.setFont(HostFonts::system(10));
    label.setText(QStringLiteral("分项遥测不可用"));
    label.resize(10, 20);
    EXPECT_EQ(label.fittedFont(), label.font());
}

} // namespace
} // namespace voltrane
