#include "common/platform_texts.h"
#include "ui/flow/flow_accounting_bar.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

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
