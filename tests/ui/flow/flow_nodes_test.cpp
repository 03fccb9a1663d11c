#include "flow_samples.h"
#include "support/param_name.h"
#include "ui/flow/flow_texts.h"
#include "ui/flow/sankey_destination_node.h"
#include "ui/flow/sankey_source_node.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/capsule_frame.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QAccessible>
#include <QLayout>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

template <typename T> T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

SankeyDestination cpuRow(std::optional<double> watts) {
    return {SankeyDestination::ID::cpu,         "CPU", "cpu", watts, "估算", PaletteColor::flowCPU,
            SankeyDestination::State::estimated};
}

void expectFont(const TextLabel* label, double size, QFont::Weight weight) {
    EXPECT_NEAR(HostFonts::pixelSize(label->font()), size, 1e-6) << label->objectName().toStdString();
    EXPECT_EQ(label->font().weight(), weight) << label->objectName().toStdString();
}

void expectOpacity(const QColor& color, const Color& base, double opacity) {
    const QColor expected = toQColor(base, opacity);
    EXPECT_EQ(color.rgb(), expected.rgb());
    EXPECT_NEAR(color.alphaF(), opacity, 0.003);
}

struct RoomRow {
    const char* name;
    double rowHeight;
    bool roomy;
    double symbolSize;
    double titleSize;
    double wattsSize;
};

class RowTypeSizes : public ::testing::TestWithParam<RoomRow> {};

TEST_P(RowTypeSizes, FollowTheRowHeight) {
    SankeyDestinationNode node;
    node.setContent(cpuRow(8.2), 40.0, GetParam().rowHeight);
    EXPECT_EQ(node.isRoomy(), GetParam().roomy);
    EXPECT_DOUBLE_EQ(child<SymbolLabel>(node, "destinationSymbol")->symbolSize(), GetParam().symbolSize);
    EXPECT_EQ(child<SymbolLabel>(node, "destinationSymbol")->symbolWeight(), QFont::Medium);
    expectFont(child<TextLabel>(node, "destinationTitle"), GetParam().titleSize, QFont::DemiBold);
    expectFont(child<TextLabel>(node, "destinationDetail"), 8.5, QFont::Normal);
    expectFont(child<TextLabel>(node, "destinationWatts"), GetParam().wattsSize, QFont::DemiBold);
    EXPECT_DOUBLE_EQ(child<TextLabel>(node, "destinationWatts")->minimumScaleFactor(), 0.75);
}

INSTANTIATE_TEST_SUITE_P(Heights, RowTypeSizes,
                         ::testing::Values(RoomRow{"exactly_56_is_roomy", 56, true, 18, 11.5, 16},
                                           RoomRow{"just_under_56_is_small", 55.9, false, 14, 10, 12.5}),

                         testing::ParamName{});

struct ActiveRow {
    const char* name;
    std::optional<double> watts;
    bool active;
    double fill;
    double border;
};

class RowActivity : public ::testing::TestWithParam<ActiveRow> {};

TEST_P(RowActivity, TintsFillAndBorder) {
    SankeyDestinationNode node;
    node.setContent(cpuRow(GetParam().watts), 40.0, 40);
    EXPECT_EQ(node.isActive(), GetParam().active);
    expectOpacity(node.backgroundFill(), VoltranePalette::flowCPU, GetParam().fill);
    expectOpacity(node.borderColor(), VoltranePalette::flowCPU, GetParam().border);
}

INSTANTIATE_TEST_SUITE_P(Watts, RowActivity,
                         ::testing::Values(ActiveRow{"exactly_0_2_is_idle", 0.2, false, 0.025, 0.1},
                                           ActiveRow{"0_21_is_active", 0.21, true, 0.085, 0.34},
                                           ActiveRow{"absent_is_idle", std::nullopt, false, 0.025, 0.1}),
                         testing::ParamName{});

struct FigureRow {
    const char* name;
    std::optional<double> watts;
    std::optional<double> sourceWatts;
    const char* wattsText;
    const char* detailText;
    bool muted;
};

class RowFigures : public ::testing::TestWithParam<FigureRow> {};

TEST_P(RowFigures, ShowTheCoreTextsInTheirColours) {
    SankeyDestinationNode node;
    node.setContent(cpuRow(GetParam().watts), GetParam().sourceWatts, 40);
    const TextLabel* watts = child<TextLabel>(node, "destinationWatts");
    EXPECT_EQ(watts->text(), QString::fromUtf8(GetParam().wattsText));
    EXPECT_EQ(watts->color(),
              toQColor(GetParam().muted ? VoltranePalette::textMuted : VoltranePalette::textPrimary));
    EXPECT_EQ(child<TextLabel>(node, "destinationDetail")->text(), QString::fromUtf8(GetParam().detailText));
    EXPECT_EQ(child<TextLabel>(node, "destinationDetail")->color(), toQColor(VoltranePalette::textMuted));
    EXPECT_EQ(node.toolTip(),
              QStringLiteral("CPU：") + QString::fromUtf8(GetParam().wattsText) + QStringLiteral("，估算"));
}

INSTANTIATE_TEST_SUITE_P(
    Figures, RowFigures,
    ::testing::Values(FigureRow{"share_of_the_source", 8.2, 45.0, "8.2 W", "18% · 估算", false},
                      FigureRow{"share_capped_at_100", 5.0, 4.0, "5.0 W", "100% · 估算", false},
                      FigureRow{"sign_dropped", -3.4, 10.0, "3.4 W", "估算", false},
                      FigureRow{"infinite_is_present", std::numeric_limits<double>::infinity(), 10.0,
                                "\u2014 W", "100% · 估算", false},
                      FigureRow{"absent_is_muted", std::nullopt, 10.0, "\u2014 W", "估算", true}),
    testing::ParamName{});

TEST(SankeyDestinationNode, UnavailableRowsAreMutedWhateverTheirTint) {
    SankeyDestination row = cpuRow(4.0);
    SankeyDestinationNode node;
    node.setContent(row, 10.0, 40);
    EXPECT_EQ(child<SymbolLabel>(node, "destinationSymbol")->color(), toQColor(VoltranePalette::flowCPU));
    EXPECT_EQ(child<TextLabel>(node, "destinationTitle")->color(), toQColor(VoltranePalette::flowCPU));

    row.state = SankeyDestination::State::unavailable;
    node.setContent(row, 10.0, 40);
    EXPECT_EQ(child<SymbolLabel>(node, "destinationSymbol")->color(), toQColor(VoltranePalette::textMuted));
    EXPECT_EQ(child<TextLabel>(node, "destinationTitle")->color(), toQColor(VoltranePalette::textSecondary));
    EXPECT_EQ(child<TextLabel>(node, "destinationWatts")->color(), toQColor(VoltranePalette::textPrimary));
    EXPECT_EQ(child<SymbolLabel>(node, "destinationSymbol")->symbol(), "cpu");
}

TEST(SankeyDestinationNode, IsOneAccessibleElement) {
    SankeyDestinationNode node;
    node.setContent(cpuRow(8.2), 45.0, 40);
    EXPECT_EQ(node.accessibleName(), QStringLiteral("CPU 18% · 估算 8.2 W"));
    for (const char* part : {"destinationTitle", "destinationDetail", "destinationWatts"}) {
        EXPECT_TRUE(isHiddenFromAccessibility(child<TextLabel>(node, part))) << part;
    }
    QAccessibleInterface* symbol =
        QAccessible::queryAccessibleInterface(child<SymbolLabel>(node, "destinationSymbol"));
    ASSERT_NE(symbol, nullptr);
    EXPECT_TRUE(symbol->state().invisible);
    EXPECT_TRUE(symbol->text(QAccessible::Name).isEmpty());
}

TEST(SankeyDestinationNode, TheFigureKeepsItsWidthWhenTheCardIsNarrow) {
    SankeyDestinationNode node;
    SankeyDestination row = cpuRow(88.8);
    row.detail = "一段很长很长很长的说明文字";
    node.setContent(row, 100.0, 40);
    node.resize(148, 40);
    node.show();
    node.layout()->activate();
    const TextLabel* watts = child<TextLabel>(node, "destinationWatts");
    EXPECT_EQ(watts->width(), watts->sizeHint().width());
    EXPECT_LE(watts->geometry().right(), 148 - 9);
    EXPECT_LT(child<TextLabel>(node, "destinationDetail")->width(),
              child<TextLabel>(node, "destinationDetail")->sizeHint().width());
}

// The battery card first, then the adapter: the pill must go when the source changes.
TEST(SankeySourceNode, DrawsTheSourceAsTheModelSays) {
    SankeySourceNode node;
    const auto expectCard = [&node](const SankeyFlowModel& model, const Color& tint, bool pill,
                                    double detailSize, QFont::Weight detailWeight, const Color& detailColor) {
        node.setModel(model);
        EXPECT_EQ(node.showsPill(), pill);
        EXPECT_EQ(node.tint(), toQColor(tint));
        const SymbolLabel* symbol = child<SymbolLabel>(node, "sourceSymbol");
        EXPECT_EQ(symbol->symbol(), model.sourceSymbol);
        EXPECT_DOUBLE_EQ(symbol->symbolSize(), 25);
        EXPECT_EQ(symbol->symbolWeight(), QFont::Medium);
        EXPECT_EQ(symbol->color(), toQColor(tint));
        const TextLabel* title = child<TextLabel>(node, "sourceTitle");
        EXPECT_EQ(title->text().toStdString(), model.sourceTitle);
        expectFont(title, 10, QFont::DemiBold);
        EXPECT_EQ(title->color(), toQColor(tint));
        const TextLabel* watts = child<TextLabel>(node, "sourceWatts");
        EXPECT_EQ(watts->text().toStdString(), flowWattsText(model.sourceWatts));
        expectFont(watts, 24, QFont::DemiBold);
        EXPECT_EQ(watts->color(), toQColor(VoltranePalette::textPrimary));
        const TextLabel* detail = child<TextLabel>(node, "sourceDetail");
        EXPECT_EQ(detail->text().toStdString(), model.sourceDetail);
        expectFont(detail, detailSize, detailWeight);
        EXPECT_EQ(detail->color(), toQColor(detailColor));
        EXPECT_DOUBLE_EQ(detail->minimumScaleFactor(), 0.78);
        const CapsuleFrame* frame = child<CapsuleFrame>(node, "sourceDetailPill");
        EXPECT_EQ(frame->layout()->contentsMargins(), pill ? QMargins(7, 4, 7, 4) : QMargins());
        if (pill) {
            expectOpacity(frame->fill(), tint, 0.12);
        } else {
            EXPECT_EQ(frame->fill().alpha(), 0);
        }
        EXPECT_TRUE(node.accessibleName().startsWith(QString::fromStdString(model.sourceTitle)));
    };
    expectCard(SankeyFlowModel(testing::onBatterySnapshot(), testing::lightComponents()),
               VoltranePalette::warning, true, 10.5, QFont::DemiBold, VoltranePalette::warning);
    expectCard(SankeyFlowModel(testing::chargingSnapshot(), testing::busyComponents()),
               VoltranePalette::flowSource, false, 9.5, QFont::Normal, VoltranePalette::textMuted);
    EXPECT_EQ(child<TextLabel>(node, "sourceDetail")->text(), QStringLiteral("额定 96 W"));
}

} // namespace
} // namespace voltrane
