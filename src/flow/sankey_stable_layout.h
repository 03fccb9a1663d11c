#pragma once

#include "flow/sankey_destination.h"

#include <optional>
#include <vector>

namespace voltrane {

struct SankeyFlowModel;

/// The row order and watts of the last accepted diagram layout. A candidate replaces it only
/// when something changed enough to matter (a change strictly greater than 2.0 W, or the
/// battery row coming or going), which keeps the diagram calm between ticks.
struct SankeyStableLayout {
    struct Entry {
        SankeyDestination::ID id = SankeyDestination::ID::other;
        double watts = 0; ///< W when remembered, never negative

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    std::optional<double> sourceWatts; ///< the model's source watts, unchanged
    std::vector<Entry> entries;        ///< remembered rows in display order, unique IDs

    /// No source figure, no entries.
    SankeyStableLayout() = default;
    /// The layout of a model: its rows with present, finite watts, in order, watts ≥ 0.
    explicit SankeyStableLayout(const SankeyFlowModel& model);

    /// Called on the held layout: true when `candidate` should replace it.
    bool shouldAdopt(const SankeyStableLayout& candidate) const;

    /// The given rows that are also remembered, in the remembered order, with their current figures.
    std::vector<SankeyDestination> ordered(const std::vector<SankeyDestination>& destinations) const;

    /// The remembered watts of a row, if it is remembered.
    std::optional<double> watts(SankeyDestination::ID id) const;

    /// The watts the diagram's geometry follows, one per given row: the remembered watts of
    /// the row's ID, or the row's own watts when it is not remembered.
    std::vector<std::optional<double>> layoutWatts(const std::vector<SankeyDestination>& rows) const;

    friend bool operator==(const SankeyStableLayout&, const SankeyStableLayout&) = default;
};

} // namespace voltrane
