#include "common/platform_texts.h"
#include "ui/dashboard/info_popover.h"
#include "ui/flow/flow_accounting_bar.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

// Every paragraph of the popover, the usage caption included, speaks of a Mac only on one.
TEST(PlatformFactsPanelTest, PopoverStatesTheFactsOfThePlatformBuiltFor) {
#ifdef Q_OS_MACOS
    const bool builtForMacOS = true;
#else
    const bool builtForMacOS = false;
#endif
    const InfoPopover popover(nullptr);
    QString texts;
    for (const QLabel* label : popover.findChildren<QLabel*>()) {
        texts += label->text() + QLatin1Char('\n');
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("发送匿名使用统计")));
    for (const char* fact : {"Mac", "Apple", "IOKit", "ANE"}) {
        EXPECT_EQ(texts.contains(QLatin1String(fact)), builtForMacOS) << fact << '\n' << texts.toStdString();
    }
}

// The strip under the flow says why component figures are missing, and only while they are.
TEST(PlatformFactsPanelTest, AccountingStripExplainsMissingComponentsOnlyWhenMissing) {
    FlowAccountingBar bar;
    const PowerSnapshot snapshot = PowerSnapshot::unavailable({});
    bar.setModel(SankeyFlowModel(snapshot, ComponentPowerSnapshot::unavailable({})));
    EXPECT_EQ(bar.toolTip(), QString::fromUtf8(componentsUnavailableText()));
    bar.setModel(SankeyFlowModel(snapshot, ComponentPowerSnapshot::waiting({})));
    EXPECT_EQ(bar.toolTip(), QString());
}

} // namespace
} // namespace voltrane
