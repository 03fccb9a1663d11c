#include "commands.h"
#include "common/c_number.h"
#include "common/voltrane_palette.h"
#include "flow/sankey_flow_model.h"
#include "flow/sankey_metrics.h"
#include "flow/sankey_stable_layout.h"
#include "json_value.h"
#include "snapshot_json.h"
#include "ui/flow/flow_texts.h"

#include <QJsonObject>
#include <QJsonValue>
#include <iostream>
#include <limits>
#include <optional>
#include <string>

namespace voltrane::probe {
namespace {

JsonValue toJson(const SystemEnergyAllocation& allocation) {
    JsonValue out = JsonValue::object();
    out.add("systemWatts", allocation.systemWatts)
        .add("identifiedWatts", allocation.identifiedWatts)
        .add("unattributedWatts", allocation.unattributedWatts)
        .add("overageWatts", allocation.overageWatts);
    return out;
}

JsonValue toJson(const SankeyDestination& row, std::optional<double> sourceWatts) {
    JsonValue out = JsonValue::object();
    out.add("id", rawValue(row.id))
        .add("title", row.title)
        .add("symbol", row.symbol)
        .add("watts", row.watts)
        .add("wattsText", flowWattsText(row.watts))
        .add("detail", row.detail)
        .add("detailText", destinationDetailText(row, sourceWatts))
        .add("tint", VoltranePalette::name(row.tint))
        .add("state", caseName(row.state));
    return out;
}

JsonValue toJson(const SankeyStableLayout& layout) {
    JsonValue entries = JsonValue::array();
    for (const SankeyStableLayout::Entry& entry : layout.entries) {
        JsonValue item = JsonValue::object();
        item.add("id", rawValue(entry.id)).add("watts", entry.watts);
        entries.push(std::move(item));
    }
    JsonValue out = JsonValue::object();
    out.add("sourceWatts", layout.sourceWatts).add("entries", std::move(entries));
    return out;
}

JsonValue toJson(const std::vector<double>& values) {
    JsonValue out = JsonValue::array();
    for (const double value : values) {
        out.push(value);
    }
    return out;
}

JsonValue toJson(const SankeyMetrics& metrics) {
    JsonValue out = JsonValue::object();
    out.add("width", metrics.size.width)
        .add("height", metrics.size.height)
        .add("rowCount", metrics.rowCount)
        .add("sourceWidth", metrics.sourceWidth)
        .add("destinationWidth", metrics.destinationWidth)
        .add("rowSpacing", metrics.rowSpacing)
        .add("sourceHeight", metrics.sourceHeight)
        .add("bandWidths", toJson(metrics.bandWidths))
        .add("rowHeights", toJson(metrics.rowHeights))
        .add("rowCenters", toJson(metrics.rowCenters));
    return out;
}

/// A JSON number, or one of the strings the probe writes for non-finite doubles.
std::optional<double> lengthFrom(const QJsonValue& value) {
    if (value.isDouble()) {
        return value.toDouble();
    }
    return parseNonFiniteWord(value.toString().toStdString());
}

} // namespace

int flowCommand(const Arguments& arguments) {
    if (arguments.size() != 1) {
        return fail("usage: voltrane-probe flow FILE");
    }
    std::string error;
    const std::optional<QJsonObject> input = readJsonObjectFile(arguments.front(), error);
    if (!input) {
        return fail(error);
    }

    // Without component readings the model shows what a machine without counters shows.
    const auto sample = sampleFromJson(*input, false, error);
    if (!sample) {
        return fail(error);
    }
    const PowerSnapshot& snapshot = sample->snapshot;
    const ComponentPowerSnapshot& components = sample->components;

    std::optional<SankeyMetrics::Size> size;
    const QJsonValue sizeValue = input->value(QLatin1String("size"));
    if (!sizeValue.isUndefined() && !sizeValue.isNull()) {
        const auto width = lengthFrom(sizeValue.toObject().value(QLatin1String("width")));
        const auto height = lengthFrom(sizeValue.toObject().value(QLatin1String("height")));
        if (!sizeValue.isObject() || !width || !height) {
            return fail("\"size\" must be {\"width\": number, \"height\": number}");
        }
        size = SankeyMetrics::Size{*width, *height};
    }

    const SankeyFlowModel model(snapshot, components);
    const SankeyStableLayout layout(model);

    JsonValue destinations = JsonValue::array();
    for (const SankeyDestination& row : model.destinations) {
        destinations.push(toJson(row, model.sourceWatts));
    }

    JsonValue out = JsonValue::object();
    out.add("sourceTitle", model.sourceTitle)
        .add("sourceSymbol", model.sourceSymbol)
        .add("sourceDetail", model.sourceDetail)
        .add("sourceWatts", model.sourceWatts)
        .add("sourceWattsText", flowWattsText(model.sourceWatts))
        .add("sourceTint", VoltranePalette::name(model.sourceTint))
        .add("systemWatts", model.systemWatts)
        .add("allocation", toJson(model.allocation))
        .add("destinations", std::move(destinations))
        .add("estimateAvailable", model.estimateAvailable)
        .add("accessibilitySummary", model.accessibilitySummary())
        .add("stableLayout", toJson(layout));
    if (size) {
        // Exactly what the diagram draws: the remembered order and the remembered watts.
        const std::vector<SankeyDestination> ordered = layout.ordered(model.destinations);
        out.add("metrics",
                toJson(SankeyMetrics(*size, ordered, layout.layoutWatts(ordered), model.sourceWatts)));
    }
    std::cout << out.dump() << '\n';
    return 0;
}

} // namespace voltrane::probe
