// One frame of the flow canvas drawn whole (eight ribbons with particles, 540 × 291, software
// raster: what the cached ribbons cost once per new sample), a timer frame from the cache, the
// per-layout rebuild of its ribbon outlines, and one full render of the flow section.
#include "bench_samples.h"
#include "flow/sankey_flow_model.h"
#include "flow/sankey_metrics.h"
#include "flow/sankey_stable_layout.h"
#include "ui/flow/power_flow_view.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/host/accessibility_environment.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

using namespace voltrane;

using bench::busyComponents;
using bench::chargingSnapshot;

struct CanvasInput {
    std::vector<SankeyDestination> rows;
    std::optional<double> sourceWatts;
    PaletteColor tint;
    SankeyMetrics metrics;
};

CanvasInput canvasInput() {
    const SankeyFlowModel model(chargingSnapshot(), busyComponents());
    const SankeyStableLayout layout(model);
    std::vector<SankeyDestination> rows = layout.ordered(model.destinations);
    SankeyMetrics metrics({540, 291}, rows, layout.layoutWatts(rows), layout.sourceWatts);
    return {std::move(rows), layout.sourceWatts, model.sourceTint, std::move(metrics)};
}

void BM_CanvasFrame(benchmark::State& state) {
    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas(&environment);
    const CanvasInput input = canvasInput();
    canvas.setContent(input.rows, input.sourceWatts, input.tint, input.metrics);
    if (canvas.ribbons().size() != 8) {
        state.SkipWithError("expected eight ribbons");
        return;
    }
    QImage frame(540, 291, QImage::Format_ARGB32_Premultiplied);
    double phase = 0;
    for (auto _ : state) {
        frame.fill(Qt::transparent);
        QPainter painter(&frame);
        canvas.draw(phase, painter);
        painter.end();
        phase = phase + 1.0 / (24 * 2.8);
        phase -= phase >= 1 ? 1 : 0;
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_CanvasFrame)->Unit(benchmark::kMicrosecond);

// What a timer tick repaints: only the particles' old and new places, copied from the cached
// ribbons with the particles drawn over them (or, where a later ribbon's halo reaches a
// particle, the ribbons there drawn again in order).
void BM_CanvasTickFrame(benchmark::State& state) {
    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas(&environment);
    const CanvasInput input = canvasInput();
    canvas.resize(540, 291);
    canvas.setContent(input.rows, input.sourceWatts, input.tint, input.metrics);
    QImage frame(540, 291, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    canvas.render(&frame); // builds the cached layers, as the first paint does
    // The particles stand at the canvas's phase; the frame repaints them there and where they
    // go next.
    const double shown = canvas.shownPhase();
    const double next = shown + 1.0 / (24 * 2.8) >= 1 ? 0 : shown + 1.0 / (24 * 2.8);
    const QRegion dirty = canvas.particleRegion(shown) | canvas.particleRegion(next);
    for (auto _ : state) {
        canvas.render(&frame, dirty.boundingRect().topLeft(), dirty);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_CanvasTickFrame)->Unit(benchmark::kMicrosecond);

void BM_CanvasLayoutChange(benchmark::State& state) {
    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas(&environment);
    // Two layouts in turn: the canvas skips a drawing it already has.
    const CanvasInput first = canvasInput();
    CanvasInput second = first;
    second.metrics.bandWidths.front() += 1;
    bool which = false;
    for (auto _ : state) {
        const CanvasInput& input = (which = !which) ? first : second;
        canvas.setContent(input.rows, input.sourceWatts, input.tint, input.metrics);
        benchmark::DoNotOptimize(canvas.ribbons().data());
    }
}
BENCHMARK(BM_CanvasLayoutChange)->Unit(benchmark::kMicrosecond);

void BM_FlowSectionSampleAndRender(benchmark::State& state) {
    AccessibilityEnvironment environment(true);
    PowerFlowView view(nullptr, &environment);
    view.resize(560, PowerFlowView::panelHeight);
    QImage image(560, PowerFlowView::panelHeight, QImage::Format_ARGB32_Premultiplied);
    ComponentPowerSnapshot components = busyComponents();
    double wobble = 0;
    for (auto _ : state) {
        components.cpuWatts = 12.4 + wobble;
        wobble = wobble > 0.5 ? 0 : wobble + 0.1;
        view.setSamples(chargingSnapshot(), components);
        image.fill(Qt::transparent);
        view.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_FlowSectionSampleAndRender)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
