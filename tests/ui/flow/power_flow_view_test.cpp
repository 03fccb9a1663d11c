#include "flow_samples.h"
#include "ui/flow/energy_sankey_diagram.h"
#include "ui/flow/power_flow_view.h"
#include "ui/flow/sankey_destination_node.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/text_label.h"

#include <QLayout>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;

ComponentPowerSnapshot components(double cpu, double gpu, double ane = 0.6) {
    ComponentPowerSnapshot sample = testing::busyComponents();
    sample.cpuWatts = cpu;
    sample.gpuWatts = gpu;
    sample.aneWatts = ane;
    return sample;
}

// How the section adopts a new layout: only when a figure moves far enough, never for a mere
// change of order, while the figures and the bar follow every sample.
class PowerFlowViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(560, 360);
        view.show();
        view.layout()->activate();
    }
    void set(const ComponentPowerSnapshot& sample) { view.setSamples(testing::chargingSnapshot(), sample); }
    int rowY(ID id) const { return view.diagram()->destinationNode(id)->y(); }
    QString shown(const char* node, const char* label) const {
        return view.findChild<QWidget*>(QLatin1String(node))
            ->findChild<TextLabel*>(QLatin1String(label))
            ->text();
    }

    AccessibilityEnvironment environment{true};
    PowerFlowView view{nullptr, &environment};
};

TEST_F(PowerFlowViewTest, TheFirstSamplesSetTheLayoutAndTheSummary) {
    EXPECT_FALSE(view.stableLayout().has_value());
    set(components(6.0, 5.3));
    ASSERT_TRUE(view.stableLayout().has_value());
    EXPECT_EQ(*view.stableLayout(), SankeyStableLayout(view.model()));
    EXPECT_EQ(view.accessibleName().toStdString(), view.model().accessibilitySummary());
    EXPECT_TRUE(view.accessibleName().startsWith(QStringLiteral("电源适配器提供 45.0 W，流向电池 20.5 W")));
}

TEST_F(PowerFlowViewTest, SmallChangesKeepTheOrderAndLargeOnesReorder) {
    set(components(6.0, 5.3));
    const SankeyStableLayout first = *view.stableLayout();
    EXPECT_LT(rowY(ID::cpu), rowY(ID::gpu));
    const std::vector<double> bands = view.diagram()->metrics()->bandWidths;

    // Each figure moves by at most 2 W: the model now puts the GPU first, the diagram does not.
    set(components(5.0, 6.5));
    EXPECT_EQ(*view.stableLayout(), first);
    EXPECT_EQ(view.model().destinations[1].id, ID::gpu);
    EXPECT_LT(rowY(ID::cpu), rowY(ID::gpu));
    EXPECT_EQ(view.diagram()->metrics()->bandWidths, bands);
    EXPECT_EQ(shown("destinationNode_cpu", "destinationWatts"), QStringLiteral("5.0 W"));
    EXPECT_EQ(shown("destinationNode_gpu", "destinationWatts"), QStringLiteral("6.5 W"));
    EXPECT_EQ(shown("flowAccountingBar", "identifiedValue"), QStringLiteral("20.2 W"));

    // The CPU drops 2.7 W from its remembered 6.0 W: the new order is adopted at once.
    set(components(3.3, 8.0));
    EXPECT_EQ(*view.stableLayout(), SankeyStableLayout(view.model()));
    EXPECT_LT(rowY(ID::gpu), rowY(ID::cpu));
    EXPECT_NE(view.diagram()->metrics()->bandWidths, bands);
}

TEST_F(PowerFlowViewTest, ANewRowWaitsForALayoutThatHasIt) {
    set(components(6.0, 5.3, 0.1));
    ASSERT_EQ(view.diagram()->destinationNode(ID::ane), nullptr);
    // 0.3 W of ANE appears: a row with a small figure, not worth a new layout.
    set(components(5.8, 5.3, 0.3));
    EXPECT_EQ(view.diagram()->destinationNode(ID::ane), nullptr);
    EXPECT_FALSE(view.stableLayout()->watts(ID::ane).has_value());
}

} // namespace
} // namespace voltrane
