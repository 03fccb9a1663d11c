// What the flow section does on every tick: build the model, its candidate stable layout,
// ask the held layout whether to adopt it, order the rows and compute the diagram metrics.
#include "bench_samples.h"
#include "flow/sankey_flow_model.h"
#include "flow/sankey_metrics.h"
#include "flow/sankey_stable_layout.h"

#include <benchmark/benchmark.h>

namespace {

using namespace voltrane;

using bench::busyComponents;
using bench::chargingSnapshot;

void BM_FlowModelLayoutMetrics(benchmark::State& state) {
    PowerSnapshot snapshot = chargingSnapshot();
    const ComponentPowerSnapshot components = busyComponents();
    SankeyStableLayout held(SankeyFlowModel(snapshot, components));
    const SankeyMetrics::Size size{520, 330};
    double jitter = 0;
    for (auto _ : state) {
        // Vary the input a little so nothing is hoisted out of the loop.
        jitter = jitter > 1 ? 0 : jitter + 0.01;
        snapshot.systemWatts = 38.5 + jitter;
        const SankeyFlowModel model(snapshot, components);
        const SankeyStableLayout candidate(model);
        if (held.shouldAdopt(candidate)) {
            held = candidate;
        }
        const std::vector<SankeyDestination> ordered = held.ordered(model.destinations);
        const SankeyMetrics metrics(size, ordered, held.layoutWatts(ordered), model.sourceWatts);
        benchmark::DoNotOptimize(metrics.rowCenters.data());
    }
    state.counters["rows"] = static_cast<double>(SankeyFlowModel(snapshot, components).destinations.size());
}
BENCHMARK(BM_FlowModelLayoutMetrics);

} // namespace
