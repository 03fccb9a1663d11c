#include "flow_samples.h"
#include "ui/flow/energy_sankey_diagram.h"
#include "ui/flow/sankey_destination_node.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/flow/sankey_source_node.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/text_label.h"

#include <QAccessible>
#include <cmath>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;

constexpr int kWidth = 540;
constexpr int kHeight = 291;

void expectFrame(const QRect& actual, double centerX, double centerY, double width, double height) {
    EXPECT_NEAR(actual.x(), centerX - width / 2, 1.0);
    EXPECT_NEAR(actual.y(), centerY - height / 2, 1.0);
    EXPECT_NEAR(actual.width(), width, 1.0);
    EXPECT_NEAR(actual.height(), height, 1.0);
}

class DiagramTest : public ::testing::Test {
protected:
    void show(const SankeyFlowModel& model, const SankeyStableLayout& layout) {
        diagram.resize(kWidth, kHeight);
        diagram.setContent(model, layout);
    }

    AccessibilityEnvironment environment;
    EnergySankeyDiagram diagram{&environment};
};

TEST_F(DiagramTest, PlacesEveryCardWhereTheMetricsSay) {
    const SankeyFlowModel model(testing::chargingSnapshot(), testing::busyComponents());
    const SankeyStableLayout layout(model);
    show(model, layout);

    const std::vector<SankeyDestination> ordered = layout.ordered(model.destinations);
    const SankeyMetrics metrics({kWidth, kHeight}, ordered, layout.layoutWatts(ordered), layout.sourceWatts);
    ASSERT_TRUE(diagram.metrics().has_value());
    EXPECT_EQ(*diagram.metrics(), metrics);
    ASSERT_EQ(ordered.size(), 8u);

    expectFrame(diagram.sourceNode()->geometry(), metrics.sourceWidth / 2, kHeight / 2.0, metrics.sourceWidth,
                metrics.sourceHeight);
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        SCOPED_TRACE(rawValue(ordered[i].id));
        SankeyDestinationNode* node = diagram.destinationNode(ordered[i].id);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->objectName(),
                  QStringLiteral("destinationNode_") + QLatin1String(rawValue(ordered[i].id)));
        expectFrame(node->geometry(), kWidth - metrics.destinationWidth / 2, metrics.rowCenters[i],
                    metrics.destinationWidth, metrics.rowHeights[i]);
    }
    EXPECT_EQ(diagram.canvas()->geometry(), QRect(0, 0, kWidth, kHeight));
    EXPECT_EQ(diagram.canvas()->destinations(), ordered);
}

TEST_F(DiagramTest, CardsFollowTheLayoutWhileFiguresStayLive) {
    const SankeyFlowModel first(testing::chargingSnapshot(), testing::busyComponents());
    const SankeyStableLayout held(first);
    ComponentPowerSnapshot swapped = testing::busyComponents();
    swapped.cpuWatts = 3.0; // now below the display's 4.5 W
    swapped.gpuWatts = 8.3; // and the GPU above it
    const SankeyFlowModel live(testing::chargingSnapshot(), swapped);
    show(live, held);

    // Order and geometry from the held layout: the CPU card stays above the display card.
    EXPECT_LT(diagram.destinationNode(ID::cpu)->y(), diagram.destinationNode(ID::display)->y());
    EXPECT_LT(diagram.destinationNode(ID::display)->y(), diagram.destinationNode(ID::gpu)->y());
    const SankeyMetrics heldMetrics({kWidth, kHeight}, held.ordered(live.destinations),
                                    held.layoutWatts(held.ordered(live.destinations)), held.sourceWatts);
    EXPECT_EQ(diagram.metrics()->bandWidths, heldMetrics.bandWidths);
    // Figures from the live model.
    EXPECT_EQ(
        diagram.destinationNode(ID::cpu)->findChild<TextLabel*>(QStringLiteral("destinationWatts"))->text(),
        QStringLiteral("3.0 W"));
}

TEST_F(DiagramTest, RowsMissingFromTheLayoutAreNotShownAndStaleOnesGo) {
    const SankeyFlowModel full(testing::chargingSnapshot(), testing::busyComponents());
    ComponentPowerSnapshot withoutGpu = testing::busyComponents();
    withoutGpu.gpuWatts = 0.1;
    const SankeyFlowModel reduced(testing::chargingSnapshot(), withoutGpu);

    show(full, SankeyStableLayout(reduced));
    EXPECT_EQ(diagram.destinationNode(ID::gpu), nullptr);
    EXPECT_NE(diagram.destinationNode(ID::cpu), nullptr);

    show(reduced, SankeyStableLayout(full));
    EXPECT_EQ(diagram.destinationNode(ID::gpu), nullptr);
    EXPECT_EQ(diagram.findChildren<SankeyDestinationNode*>().size(), reduced.destinations.size());
}

TEST_F(DiagramTest, WithoutRowsOnlyTheSourceCardIsShownCentred) {
    PowerSnapshot idle = testing::onBatterySnapshot();
    idle.systemWatts = 0.1;
    const SankeyFlowModel model(idle, ComponentPowerSnapshot::unavailable({}));
    ASSERT_TRUE(model.destinations.empty());
    show(model, SankeyStableLayout(model));
    EXPECT_TRUE(diagram.findChildren<SankeyDestinationNode*>().empty());
    EXPECT_TRUE(diagram.canvas()->ribbons().empty());
    EXPECT_FALSE(diagram.canvas()->isAnimating());
    expectFrame(diagram.sourceNode()->geometry(), diagram.metrics()->sourceWidth / 2, kHeight / 2.0,
                diagram.metrics()->sourceWidth, std::min(168.0, kHeight - 18.0));
}

TEST_F(DiagramTest, FollowsItsSize) {
    const SankeyFlowModel model(testing::onBatterySnapshot(), testing::lightComponents());
    show(model, SankeyStableLayout(model));
    diagram.show();
    diagram.resize(620, 300);
    ASSERT_TRUE(diagram.metrics().has_value());
    EXPECT_EQ(diagram.metrics()->size, (SankeyMetrics::Size{620, 300}));
    EXPECT_FALSE(diagram.metrics()->isCompact());
    EXPECT_NEAR(diagram.destinationNode(ID::cpu)->geometry().right() + 1, 620, 1.0);
}

TEST_F(DiagramTest, TheCanvasIsHiddenFromAccessibility) {
    QAccessibleInterface* canvas = QAccessible::queryAccessibleInterface(diagram.canvas());
    ASSERT_NE(canvas, nullptr);
    EXPECT_TRUE(canvas->state().invisible);
    EXPECT_EQ(canvas->role(), QAccessible::NoRole);
    EXPECT_TRUE(isHiddenFromAccessibility(diagram.canvas()));
}

} // namespace
} // namespace voltrane
