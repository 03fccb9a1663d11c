#pragma once

#include "common/voltrane_palette.h"
#include "flow/sankey_destination.h"
#include "flow/system_energy_allocation.h"
#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

#include <optional>
#include <string>
#include <vector>

namespace voltrane {

/// The content of the power-flow diagram: one source and its rows, already filtered
/// (watts > 0.2) and ordered (larger first, the remainder last). Rebuilt on every render.
struct SankeyFlowModel {
    /// Where the power comes from; views decide by this, never by the title's text.
    enum class SourceKind { adapter, battery };

    SourceKind sourceKind = SourceKind::adapter;
    std::string sourceTitle;           ///< "电池" or "电源适配器"
    std::string sourceSymbol;          ///< system symbol name
    std::string sourceDetail;          ///< second line under the source
    std::optional<double> sourceWatts; ///< W leaving the source
    PaletteColor sourceTint = PaletteColor::flowSource;
    std::optional<double> systemWatts; ///< the model's estimate of the whole system's draw
    SystemEnergyAllocation allocation; ///< systemWatts split over the components
    std::vector<SankeyDestination> destinations;
    bool estimateAvailable = false; ///< the component counters could be read

    /// An empty model: no source figure, no rows.
    SankeyFlowModel() = default;
    /// Pure; absent or non-finite inputs make figures absent, never fail.
    SankeyFlowModel(const PowerSnapshot& snapshot, const ComponentPowerSnapshot& components);

    /// One sentence for assistive technologies, e.g.
    /// "电源适配器提供 45.0 W，流向电池 20.5 W，CPU 6.2 W".
    std::string accessibilitySummary() const;

    /// Battery runtime text for the battery source's detail line.
    static std::string runtimeText(std::optional<int> minutes);

    /// The row ordering test: the remainder last, then larger watts first (absent as 0),
    /// watts within 0.0001 W counting as equal and tie-broken by ID raw value.
    static bool comesBefore(const SankeyDestination& a, const SankeyDestination& b);

    /// Straight insertion sort with `comesBefore`: stable, and well defined although the
    /// 0.0001 W tolerance makes the test intransitive.
    static void sortRows(std::vector<SankeyDestination>& rows);

    friend bool operator==(const SankeyFlowModel&, const SankeyFlowModel&) = default;
};

} // namespace voltrane
