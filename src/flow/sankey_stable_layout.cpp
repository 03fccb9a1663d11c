#include "flow/sankey_stable_layout.h"

#include "flow/sankey_flow_model.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;

constexpr double kAdoptAboveWatts = 2.0;
constexpr std::size_t kIDCount = 8;

std::size_t slot(ID id) {
    return static_cast<std::size_t>(id);
}

bool differs(double a, double b) {
    return std::fabs(a - b) > kAdoptAboveWatts;
}

/// Watts by ID; the first entry of an ID wins, an ID without entry is absent.
std::array<std::optional<double>, kIDCount> byID(const std::vector<SankeyStableLayout::Entry>& entries) {
    std::array<std::optional<double>, kIDCount> table{};
    for (const SankeyStableLayout::Entry& entry : entries) {
        if (!table[slot(entry.id)]) {
            table[slot(entry.id)] = entry.watts;
        }
    }
    return table;
}

} // namespace

SankeyStableLayout::SankeyStableLayout(const SankeyFlowModel& model) : sourceWatts(model.sourceWatts) {
    entries.reserve(model.destinations.size());
    for (const SankeyDestination& row : model.destinations) {
        if (row.watts && std::isfinite(*row.watts)) {
            entries.push_back({row.id, std::max(0.0, *row.watts)});
        }
    }
}

bool SankeyStableLayout::shouldAdopt(const SankeyStableLayout& candidate) const {
    const auto current = byID(entries);
    const auto next = byID(candidate.entries);

    bool sameSet = true;
    for (std::size_t i = 0; i < kIDCount; ++i) {
        sameSet = sameSet && current[i].has_value() == next[i].has_value();
    }

    if (sameSet) {
        if (sourceWatts.has_value() != candidate.sourceWatts.has_value()) {
            return true;
        }
        if (sourceWatts && candidate.sourceWatts && differs(*sourceWatts, *candidate.sourceWatts)) {
            return true;
        }
        for (const Entry& entry : candidate.entries) {
            const std::optional<double>& held = current[slot(entry.id)];
            if (!held || differs(*held, entry.watts)) {
                return true;
            }
        }
        // A mere change of order, every figure within the threshold, keeps the diagram still.
        return false;
    }

    if (current[slot(ID::battery)].has_value() != next[slot(ID::battery)].has_value()) {
        return true;
    }
    for (std::size_t i = 0; i < kIDCount; ++i) {
        if ((current[i] || next[i]) && differs(next[i].value_or(0), current[i].value_or(0))) {
            return true;
        }
    }
    return false;
}

std::vector<SankeyDestination>
SankeyStableLayout::ordered(const std::vector<SankeyDestination>& destinations) const {
    std::array<const SankeyDestination*, kIDCount> index{};
    for (const SankeyDestination& row : destinations) {
        if (index[slot(row.id)] == nullptr) {
            index[slot(row.id)] = &row;
        }
    }
    std::vector<SankeyDestination> result;
    result.reserve(std::min(destinations.size(), entries.size()));
    for (const Entry& entry : entries) {
        const SankeyDestination*& row = index[slot(entry.id)];
        if (row != nullptr) {
            result.push_back(*row);
            row = nullptr; // a repeated entry must not show the row twice
        }
    }
    return result;
}

std::optional<double> SankeyStableLayout::watts(SankeyDestination::ID id) const {
    for (const Entry& entry : entries) {
        if (entry.id == id) {
            return entry.watts;
        }
    }
    return std::nullopt;
}

std::vector<std::optional<double>>
SankeyStableLayout::layoutWatts(const std::vector<SankeyDestination>& rows) const {
    std::vector<std::optional<double>> result;
    result.reserve(rows.size());
    for (const SankeyDestination& row : rows) {
        const std::optional<double> remembered = watts(row.id);
        result.push_back(remembered ? remembered : row.watts);
    }
    return result;
}

} // namespace voltrane
