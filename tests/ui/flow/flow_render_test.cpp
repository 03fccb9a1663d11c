// Renders the flow section for a charging and an on-battery sample to PNG files in the working
// folder, for eyes, and checks the one pixel where geometry matters most: a ribbon's colour.
#include "flow_samples.h"
#include "ui/flow/energy_sankey_diagram.h"
#include "ui/flow/power_flow_view.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/qt_color.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

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
