#include "flow_samples.h"
#include "ui/flow/energy_sankey_diagram.h"
#include "ui/flow/flow_accounting_bar.h"
#include "ui/flow/sankey_destination_node.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/flow/sankey_source_node.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QAccessible>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using namespace voltrane::testing;

template <typename T = TextLabel> T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class DiagramTest : public ::testing::Test {
protected:
    void show(const SankeyFlowModel& model, const SankeyStableLayout& layout) {
        diagram.resize(540, 291);
        diagram.setContent(model, layout);
        diagram.show();
    }

    AccessibilityEnvironment environment;
    EnergySankeyDiagram diagram{&environment};
};

TEST_F(DiagramTest, PlacesEveryCardInItsRowInsideTheCanvasAtAnySize) {
    const SankeyFlowModel model(chargingSnapshot(), busyComponents());
    const SankeyStableLayout layout(model);
    const std::vector<SankeyDestination> ordered = layout.ordered(model.destinations);
    ASSERT_EQ(ordered.size(), 8u);
    show(model, layout);
    EXPECT_TRUE(isHiddenFromAccessibility(diagram.canvas()));
    for (const QSize size : {QSize(540, 291), QSize(620, 300)}) {
        diagram.resize(size);
        const SankeyMetrics metrics({size.width() * 1.0, size.height() * 1.0}, ordered,
                                    layout.layoutWatts(ordered), layout.sourceWatts);
        EXPECT_EQ(diagram.metrics(), metrics);
        EXPECT_EQ(diagram.canvas()->geometry(), diagram.rect());
        EXPECT_EQ(diagram.canvas()->destinations(), ordered);
        const QRect source = diagram.sourceNode()->geometry();
        EXPECT_TRUE(diagram.rect().contains(source) && source.x() == 0);
        EXPECT_NEAR(source.y() + source.height() / 2.0, size.height() / 2.0, 1);
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            const QRect card = diagram.destinationNode(ordered[i].id)->geometry();
            SCOPED_TRACE(rawValue(ordered[i].id));
            EXPECT_TRUE(diagram.rect().contains(card));
            EXPECT_NEAR(card.x() + card.width(), size.width(), 1);
            EXPECT_NEAR(card.y() + card.height() / 2.0, metrics.rowCenters[i], 1);
        }
    }
}

TEST_F(DiagramTest, CardsFollowTheHeldLayoutWhileFiguresStayLive) {
    const SankeyStableLayout held(SankeyFlowModel(chargingSnapshot(), busyComponents()));
    ComponentPowerSnapshot swapped = busyComponents();
    swapped.cpuWatts = 3.0; // now below the display's 4.5 W
    swapped.gpuWatts = 8.3; // and the GPU above it
    const SankeyFlowModel live(chargingSnapshot(), swapped);
    show(live, held);
    EXPECT_LT(diagram.destinationNode(ID::cpu)->y(), diagram.destinationNode(ID::display)->y());
    EXPECT_LT(diagram.destinationNode(ID::display)->y(), diagram.destinationNode(ID::gpu)->y());
    const auto ordered = held.ordered(live.destinations);
    EXPECT_EQ(diagram.metrics()->bandWidths,
              SankeyMetrics({540, 291}, ordered, held.layoutWatts(ordered), held.sourceWatts).bandWidths);
    EXPECT_EQ(child(*diagram.destinationNode(ID::cpu), "destinationWatts")->text(), QStringLiteral("3.0 W"));
}

TEST_F(DiagramTest, ShowsOnlyRowsInBothTheModelAndTheLayout) {
    const SankeyFlowModel full(chargingSnapshot(), busyComponents());
    ComponentPowerSnapshot withoutGpu = busyComponents();
    withoutGpu.gpuWatts = 0.1;
    const SankeyFlowModel reduced(chargingSnapshot(), withoutGpu);
    for (const auto& [model, layout] : {std::pair(&full, &reduced), std::pair(&reduced, &full)}) {
        show(*model, SankeyStableLayout(*layout));
        EXPECT_EQ(diagram.destinationNode(ID::gpu), nullptr);
        EXPECT_EQ(diagram.findChildren<SankeyDestinationNode*>().size(), reduced.destinations.size());
    }
    PowerSnapshot idle = onBatterySnapshot();
    idle.systemWatts = 0.1;
    const SankeyFlowModel empty(idle, ComponentPowerSnapshot::unavailable({}));
    show(empty, SankeyStableLayout(empty));
    EXPECT_TRUE(diagram.findChildren<SankeyDestinationNode*>().empty());
    EXPECT_TRUE(diagram.canvas()->ribbons().empty());
}

TEST(FlowAccountingBar, ReadsTheSplitAndTheCounterStatusInOrder) {
    const std::pair<SankeyFlowModel, const char*> rows[] = {
        {SankeyFlowModel(chargingSnapshot(), busyComponents()), "已识别|20.0 W|未归因|4.5 W|近 1 秒估算"},
        {SankeyFlowModel(onBatterySnapshot(), ComponentPowerSnapshot::unavailable({})),
         "已识别|0.0 W|未归因|14.2 W|分项遥测不可用"},
    };
    FlowAccountingBar bar;
    bar.show();
    for (const auto& [model, expected] : rows) {
        bar.setModel(model);
        QStringList spoken;
        QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(&bar);
        for (int i = 0; i < strip->childCount(); ++i) {
            if (!strip->child(i)->state().invisible) {
                spoken << strip->child(i)->text(QAccessible::Name);
            }
        }
        EXPECT_EQ(spoken.join(QLatin1Char('|')), QStringLiteral("按功率比例|") + QString::fromUtf8(expected));
    }
}

TEST(SankeyDestinationNode, ReadsAsOneElementAndMutesWhatIsMissing) {
    SankeyDestination row{
        ID::cpu, "CPU", "cpu", 8.2, "估算", PaletteColor::flowCPU, SankeyDestination::State::estimated};
    SankeyDestinationNode node;
    node.setContent(row, 45.0, 40);
    EXPECT_EQ(node.accessibleName(), QStringLiteral("CPU 18% · 估算 8.2 W"));
    EXPECT_EQ(node.toolTip(), QStringLiteral("CPU：8.2 W，估算"));
    for (const char* part : {"destinationTitle", "destinationDetail", "destinationWatts"}) {
        EXPECT_TRUE(isHiddenFromAccessibility(child(node, part))) << part;
    }
    const QColor muted = toQColor(VoltranePalette::textMuted);
    EXPECT_NE(child(node, "destinationWatts")->color(), muted);
    EXPECT_NE(child<SymbolLabel>(node, "destinationSymbol")->color(), muted);

    row.watts.reset();
    row.state = SankeyDestination::State::unavailable;
    node.setContent(row, 45.0, 40);
    EXPECT_EQ(child(node, "destinationWatts")->text(), QStringLiteral("\u2014 W"));
    EXPECT_EQ(child(node, "destinationWatts")->color(), muted);
    EXPECT_EQ(child<SymbolLabel>(node, "destinationSymbol")->color(), muted);
    EXPECT_EQ(child(node, "destinationTitle")->color(), toQColor(VoltranePalette::textSecondary));
}

} // namespace
} // namespace voltrane
