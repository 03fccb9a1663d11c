#include "flow_samples.h"
#include "ui/flow/energy_sankey_diagram.h"
#include "ui/flow/flow_accounting_bar.h"
#include "ui/flow/power_flow_view.h"
#include "ui/flow/sankey_destination_node.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/qt_color.h"
#include "ui/host/text_label.h"

#include <QAccessible>
#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;

ComponentPowerSnapshot components(double cpu, double gpu) {
    ComponentPowerSnapshot sample = testing::busyComponents();
    sample.cpuWatts = cpu;
    sample.gpuWatts = gpu;
    return sample;
}

QString textOf(const QWidget& parent, const char* node, const char* label) {
    const auto* card = parent.findChild<QWidget*>(QLatin1String(node));
    EXPECT_NE(card, nullptr) << node;
    return card == nullptr ? QString() : card->findChild<TextLabel*>(QLatin1String(label))->text();
}

class PowerFlowViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(560, 360);
        view.show();
        view.layout()->activate();
    }

    int rowY(ID id) const { return view.diagram()->destinationNode(id)->y(); }

    AccessibilityEnvironment environment{true};
    PowerFlowView view{nullptr, &environment};
};

TEST_F(PowerFlowViewTest, IsAFixedPanelWithTheDiagramAboveTheBar) {
    view.setSamples(testing::chargingSnapshot(), testing::busyComponents());
    EXPECT_EQ(view.height(), 360);
    EXPECT_EQ(view.minimumHeight(), 360);
    EXPECT_EQ(view.maximumHeight(), 360);
    EXPECT_EQ(view.diagram()->geometry(), QRect(10, 10, 540, 291));
    EXPECT_EQ(view.accountingBar()->geometry(), QRect(10, 10 + 291 + 9, 540, 40));
    ASSERT_TRUE(view.diagram()->metrics().has_value());
    EXPECT_EQ(view.diagram()->metrics()->size, (SankeyMetrics::Size{540, 291}));
}

TEST_F(PowerFlowViewTest, TheContainerCarriesTheAccessibilitySummary) {
    view.setSamples(testing::chargingSnapshot(), testing::busyComponents());
    const QString summary = QString::fromStdString(view.model().accessibilitySummary());
    EXPECT_TRUE(summary.startsWith(QStringLiteral("电源适配器提供 45.0 W，流向电池 20.5 W")));
    EXPECT_EQ(view.accessibleName(), summary);
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->text(QAccessible::Name), summary);
    // The cards stay reachable inside it.
    QAccessibleInterface* diagram = QAccessible::queryAccessibleInterface(view.diagram());
    ASSERT_NE(diagram, nullptr);
    EXPECT_GT(diagram->childCount(), 2);
}

TEST_F(PowerFlowViewTest, TheFirstSamplesSetTheLayoutWithoutAsking) {
    EXPECT_FALSE(view.stableLayout().has_value());
    view.setSamples(testing::chargingSnapshot(), components(6.0, 5.3));
    ASSERT_TRUE(view.stableLayout().has_value());
    EXPECT_EQ(*view.stableLayout(), SankeyStableLayout(view.model()));
    EXPECT_EQ(view.adoptionChecks(), 0);
    view.setSamples(testing::chargingSnapshot(), components(6.0, 5.3));
    EXPECT_EQ(view.adoptionChecks(), 0) << "an unchanged candidate is not judged";
}

TEST_F(PowerFlowViewTest, SmallChangesKeepTheOrderAndLargeOnesReorder) {
    view.setSamples(testing::chargingSnapshot(), components(6.0, 5.3));
    const SankeyStableLayout first = *view.stableLayout();
    EXPECT_LT(rowY(ID::cpu), rowY(ID::gpu));
    const std::vector<double> bands = view.diagram()->metrics()->bandWidths;

    // Each figure moves by 1 W: the model now puts the GPU first, the diagram does not.
    view.setSamples(testing::chargingSnapshot(), components(5.0, 6.3));
    EXPECT_EQ(view.adoptionChecks(), 1);
    EXPECT_EQ(*view.stableLayout(), first);
    EXPECT_EQ(view.model().destinations[1].id, ID::gpu);
    EXPECT_LT(rowY(ID::cpu), rowY(ID::gpu));
    EXPECT_EQ(view.diagram()->metrics()->bandWidths, bands);
    // The figures are live all the same.
    EXPECT_EQ(textOf(view, "destinationNode_cpu", "destinationWatts"), QStringLiteral("5.0 W"));
    EXPECT_EQ(textOf(view, "destinationNode_gpu", "destinationWatts"), QStringLiteral("6.3 W"));

    // The CPU drops 2.7 W from its remembered 6.0 W: the new order is adopted at once.
    view.setSamples(testing::chargingSnapshot(), components(3.3, 8.0));
    EXPECT_EQ(view.adoptionChecks(), 2);
    EXPECT_EQ(*view.stableLayout(), SankeyStableLayout(view.model()));
    EXPECT_LT(rowY(ID::gpu), rowY(ID::cpu));
    EXPECT_NE(view.diagram()->metrics()->bandWidths, bands);
}

TEST_F(PowerFlowViewTest, TheBarFollowsEverySampleEvenWhenTheLayoutHolds) {
    view.setSamples(testing::chargingSnapshot(), components(6.0, 5.3));
    view.setSamples(testing::chargingSnapshot(), components(6.5, 5.3));
    EXPECT_EQ(textOf(view, "flowAccountingBar", "identifiedValue"), QStringLiteral("20.5 W"));
}

TEST_F(PowerFlowViewTest, ANewRowWaitsForALayoutThatHasIt) {
    ComponentPowerSnapshot quiet = components(6.0, 5.3);
    quiet.aneWatts = 0.1;
    view.setSamples(testing::chargingSnapshot(), quiet);
    ASSERT_EQ(view.diagram()->destinationNode(ID::ane), nullptr);
    // 0.3 W of ANE appears: a row with a small figure, not worth a new layout.
    quiet.aneWatts = 0.3;
    quiet.cpuWatts = 5.8;
    view.setSamples(testing::chargingSnapshot(), quiet);
    EXPECT_EQ(view.diagram()->destinationNode(ID::ane), nullptr);
    EXPECT_FALSE(view.stableLayout()->watts(ID::ane).has_value());
}

// Renders the section for a charging and an on-battery sample to PNG files in the working folder, for eyes.
QImage renderSection(const PowerSnapshot& snapshot, const ComponentPowerSnapshot& components,
                     qreal scale = 1) {
    AccessibilityEnvironment environment;
    PowerFlowView view(nullptr, &environment);
    view.resize(560, PowerFlowView::panelHeight);
    view.setSamples(snapshot, components);
    // The dashboard's canvas colour behind the panel, so the translucent layers read as they will.
    const QSize logical = view.size() + QSize(40, 40);
    QImage image(logical * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(toQColor(VoltranePalette::canvas));
    view.render(&image, QPoint(20, 20));
    return image;
}

TEST(FlowRender, WritesTheChargingAndOnBatterySections) {
    const QImage charging = renderSection(testing::chargingSnapshot(), testing::busyComponents());
    const QImage onBattery = renderSection(testing::onBatterySnapshot(), testing::lightComponents());
    EXPECT_TRUE(charging.save(QDir::current().filePath(QStringLiteral("flow_section_charging.png"))));
    EXPECT_TRUE(onBattery.save(QDir::current().filePath(QStringLiteral("flow_section_on_battery.png"))));
    EXPECT_NE(charging, onBattery);
    const QImage sharp = renderSection(testing::chargingSnapshot(), testing::busyComponents(), 2);
    EXPECT_EQ(sharp.size(), charging.size() * 2);
    EXPECT_TRUE(sharp.save(QDir::current().filePath(QStringLiteral("flow_section_charging@2x.png"))));
}

} // namespace
} // namespace voltrane
