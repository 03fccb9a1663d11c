#include "commands.h"
#include "json_value.h"
#include "monitor/power_smoothing.h"
#include "snapshot_json.h"
#include "ui/dashboard/dashboard_texts.h"
#include "ui/dashboard/state_style.h"
#include "ui/dashboard/status_summary.h"

#include <iostream>

namespace voltrane::probe {

namespace {

JsonValue textsJson(const PowerSnapshot& snapshot) {
    JsonValue tiles = JsonValue::array();
    for (const MetricTile& tile : metricTiles(snapshot)) {
        JsonValue item = JsonValue::object();
        item.add("title", tile.title)
            .add("value", tile.value)
            .add("unit", tile.unit)
            .add("detail", tile.detail)
            .add("symbol", tile.symbol)
            .add("tint", VoltranePalette::name(tile.tint))
            .add("accessibilityLabel", tile.accessibilityLabel());
        tiles.push(std::move(item));
    }
    const StateStyle pill = stateStyle(snapshot);
    JsonValue pillJson = JsonValue::object();
    pillJson.add("symbol", std::string(pill.symbol))
        .add("label", std::string(pill.label))
        .add("color", VoltranePalette::name(pill.color));
    const StatusSummary summary(snapshot);

    JsonValue out = JsonValue::object();
    out.add("menuBarTitle", menuBarTitle(snapshot))
        .add("menuBarSymbol", menuBarSymbol(snapshot))
        .add("headlineWatts", snapshot.headlineWatts())
        .add("headlineTitle", headlineTitle(snapshot))
        .add("headlineDetail", headlineDetail(snapshot))
        .add("currentDetail", currentDetail(snapshot))
        .add("batteryMetricDetail", batteryMetricDetail(snapshot))
        .add("stateColor", VoltranePalette::name(stateColor(snapshot.state)))
        .add("tiles", std::move(tiles))
        .add("statePill", std::move(pillJson))
        .add("primaryText", summary.primaryText())
        .add("secondaryText", summary.secondaryText())
        .add("statusSymbol", std::string(summary.symbol()));
    return out;
}

} // namespace

int textsCommand(const Arguments& arguments) {
    if (arguments.size() != 1) {
        return fail("usage: texts FILE");
    }
    std::string error;
    const auto object = readJsonObjectFile(arguments.front(), error);
    if (!object) {
        return fail(error);
    }
    // The file is a snapshot, or an input like `flow`'s whose "snapshot" member is one.
    const auto sample = sampleFromJson(*object, true, error);
    if (!sample) {
        return fail(arguments.front() + ": " + error);
    }
    std::cout << textsJson(sample->snapshot).dump() << '\n';
    return 0;
}

} // namespace voltrane::probe
