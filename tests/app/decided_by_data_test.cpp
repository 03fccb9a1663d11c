// The source card and the tray icon decide from what the models carry, never from the texts
// they show: a title may change its wording without changing what is drawn.
#include "app/tray_icon_renderer.h"
#include "ui/flow/flow_samples.h"
#include "ui/flow/sankey_source_node.h"
#include "ui/host/capsule_frame.h"

#include <gtest/gtest.h>
#include <tuple>

namespace voltrane {
namespace {

TEST(DecidedByData, TheSourceCardShowsThePillForTheBatteryKindWhateverItsTitle) {
    const SankeyFlowModel battery(testing::onBatterySnapshot(), testing::lightComponents());
    const SankeyFlowModel adapter(testing::chargingSnapshot(), testing::busyComponents());
    SankeySourceNode node;
    for (const auto& [model, title, pill] :
         {std::tuple{battery, "内置电池", true}, std::tuple{adapter, "电池", false}}) {
        SankeyFlowModel shown = model;
        shown.sourceTitle = title;
        node.setModel(shown);
        const auto* frame = node.findChild<CapsuleFrame*>(QStringLiteral("sourceDetailPill"));
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->fill().alpha() > 0, pill) << title;
    }
}

TEST(DecidedByData, TheTrayWritesAFigureOnlyWhenThereIsOne) {
    // A figure that reads like the product name is still written under the symbol.
    EXPECT_NE(TrayIconRenderer::draw("bolt.slash", std::nullopt),
              TrayIconRenderer::draw("bolt.slash", "Voltrane"));
}

} // namespace
} // namespace voltrane
