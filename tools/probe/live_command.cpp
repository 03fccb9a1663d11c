#include "commands.h"
#include "snapshot_json.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <thread>

namespace voltrane::probe {

namespace {

/// A double whose shortest text would read back as an integer is tagged, as are non-finite ones.
JsonValue doubleJson(double value) {
    const std::string text = shortestDouble(value);
    if (std::isfinite(value) && text.find_first_of(".eE") != std::string::npos) {
        return JsonValue(value);
    }
    return JsonValue(JsonValue::Object{{"$f64", JsonValue(value)}});
}

JsonValue typedJson(const PropertyValue& value) {
    switch (value.kind()) {
    case PropertyValue::Kind::other:
        return JsonValue();
    case PropertyValue::Kind::signedInteger:
        return JsonValue(*value.signedInteger());
    case PropertyValue::Kind::unsignedInteger:
        return JsonValue(JsonValue::Object{{"$u64", JsonValue(std::to_string(*value.unsignedInteger()))}});
    case PropertyValue::Kind::real:
        return doubleJson(*value.real());
    case PropertyValue::Kind::boolean:
        return JsonValue(*value.boolean());
    case PropertyValue::Kind::text:
        return JsonValue(*value.text());
    case PropertyValue::Kind::table: {
        JsonValue out = JsonValue::object();
        for (const auto& [key, element] : *value.table()) {
            out.add(key, typedJson(element));
        }
        return out;
    }
    case PropertyValue::Kind::list: {
        JsonValue out = JsonValue::array();
        for (const auto& element : *value.list()) {
            out.push(typedJson(element));
        }
        return out;
    }
    }
    return JsonValue();
}

/// The power-supply folder; VOLTRANE_POWER_SUPPLY_ROOT points the probe at a recorded tree.
std::filesystem::path powerSupplyRoot() {
    const char* root = std::getenv("VOLTRANE_POWER_SUPPLY_ROOT");
    return root && *root ? std::filesystem::path(root) : std::filesystem::path("/sys/class/power_supply");
}

std::string liveLine(const std::function<JsonValue()>& components) {
    SysfsBatteryRegistry registry(powerSupplyRoot());
    const Date now = std::chrono::system_clock::now();
    const std::optional<PropertyTable> table = registry.copyProperties();
    const PowerSnapshot snapshot =
        table ? IOKitPowerMetricsProvider::snapshot(*table, now) : PowerSnapshot::unavailable(now);
    JsonValue line = JsonValue::object();
    line.add("table", table ? typedJson(PropertyValue(*table)) : JsonValue())
        .add("snapshot", toJson(snapshot))
        .add("components", components());
    return line.dump();
}

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

} // namespace

int liveCommand(const Arguments& arguments) {
    if (!arguments.empty()) {
        return fail("the live read takes no arguments");
    }
    std::cout << liveLine(readLiveComponents) << '\n';
    return 0;
}

int watchCommand(const Arguments& arguments) {
    if (!arguments.empty()) {
        return fail("watch takes no arguments");
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    LiveComponents components;
    auto next = std::chrono::steady_clock::now();
    while (!stopRequested) {
        std::cout << liveLine([&components] { return components.next(); })
                  << std::endl; // flushed: status bars read line by line
        next += std::chrono::seconds(1);
        // Short naps, so that a signal ends the loop within a tenth of a second.
        while (!stopRequested && std::chrono::steady_clock::now() < next) {
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                next - std::chrono::steady_clock::now(), std::chrono::milliseconds(100)));
        }
    }
    return 0;
}

} // namespace voltrane::probe
