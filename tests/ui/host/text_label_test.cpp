#include "ui/host/host_fonts.h"
#include "ui/host/text_label.h"

#include <QFontInfo>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

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
