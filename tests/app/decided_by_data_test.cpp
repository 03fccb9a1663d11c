// The source card and the tray icon decide from what the models carry, never from the texts
// they show: a title may change wording without changing what is drawn.
#include "app/tray_icon_renderer.h"
#include "ui/flow/flow_samples.h"
#include "ui/flow/sankey_source_node.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

TEST(DecidedByData, TheSourceCardShowsThePillForTheBatteryKindWhateverItsTitle) {
    using Kind = SankeyFlowModel::SourceKind;
    const SankeyFlowModel battery(testing::onBatterySnapshot(), testing::lightComponents());
    const SankeyFlowModel adapter(testing::chargingSnapshot(), testing::busyComponents());
    EXPECT_EQ(battery.sourceKind, Kind::battery);
    EXPECT_EQ(adapter.sourceKind, Kind::adapter);

    const struct {
        SankeyFlowModel model;
        const char* title;
        bool pill;
    } cases[] = {{battery, "电池", true},
                 {battery, "内置电池", true},
                 {adapter, "电源适配器", false},
                 {adapter, "电池", false}};
    SankeySourceNode node;
    for (auto [model, title, pill] : cases) {
        model.sourceTitle = title;
        node.setModel(model);
        EXPECT_EQ(node.showsPill(), pill) << title;
    }
}

TEST(DecidedByData, TheTrayDrawsAFigureOnlyWhenThereIsOne) {
    for (const char* symbol : {"bolt.slash", "battery.75percent"}) {
        const QImage bare = TrayIconRenderer::draw(symbol, std::nullopt);
        // A figure that happens to read like the product name is still written under the symbol.
        EXPECT_NE(bare, TrayIconRenderer::draw(symbol, "Voltrane")) << symbol;
    }
}

} // namespace
} // namespace voltrane
