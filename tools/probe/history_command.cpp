#include "commands.h"
#include "history/history_store.h"
#include "snapshot_json.h"

#include <QFileInfo>
#include <charconv>
#include <iostream>
#include <utility>

namespace voltrane::probe {

namespace {

using Fields = std::vector<std::pair<std::string, JsonValue>>;

/// "60m", "24h", "7d", "1y": how far back to export.
std::optional<std::chrono::seconds> parseSpan(const std::string& text) {
    long long count = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, count);
    if (error != std::errc() || rest + 1 != end || count <= 0 || count > 100000) {
        return std::nullopt;
    }
    switch (*rest) {
    case 'm':
        return std::chrono::minutes(count);
    case 'h':
        return std::chrono::hours(count);
    case 'd':
        return std::chrono::days(count);
    case 'y':
        return std::chrono::days(365 * count);
    default:
        return std::nullopt;
    }
}

void addFigure(Fields& fields, const std::string& name, const std::optional<FigureSummary>& figure) {
    fields.emplace_back(name + "Mean", figure ? JsonValue(figure->mean) : JsonValue());
    fields.emplace_back(name + "Min", figure ? JsonValue(figure->min) : JsonValue());
    fields.emplace_back(name + "Max", figure ? JsonValue(figure->max) : JsonValue());
}

Fields fieldsOf(const HistoryRow& row) {
    Fields fields{
        {"start", isoDate(row.start)},
        {"resolution", row.resolution == HistoryResolution::minute ? "minute" : "hour"},
        {"sampleCount", row.sampleCount},
        {"coveredSeconds", row.coveredSeconds},
        {"onBatterySeconds", row.onBatterySeconds},
    };
    addFigure(fields, "headlineWatts", row.headlineWatts);
    addFigure(fields, "systemWatts", row.systemWatts);
    addFigure(fields, "inputWatts", row.inputWatts);
    addFigure(fields, "batteryWatts", row.batteryWatts);
    const Fields rest{
        {"adapterEnergyWh", row.adapterEnergyWh},
        {"batteryChargedWh", row.batteryChargedWh},
        {"batteryDischargedWh", row.batteryDischargedWh},
        {"systemEnergyWh", row.systemEnergyWh},
        {"chargePercent", row.chargePercent},
        {"state", caseName(row.state)},
        {"cpuWatts", row.cpuWatts},
        {"gpuWatts", row.gpuWatts},
        {"aneWatts", row.aneWatts},
        {"dramWatts", row.dramWatts},
        {"displayWatts", row.displayWatts},
        {"portOutputWatts", row.portOutputWatts},
    };
    fields.insert(fields.end(), rest.begin(), rest.end());
    return fields;
}

Fields fieldsOf(const BatteryHealthRecord& record) {
    return {
        {"recordedAt", isoDate(record.recordedAt)},
        {"fullChargeCapacity", record.fullChargeCapacity},
        {"designCapacity", record.designCapacity},
        {"unit", record.unit == CapacityUnit::milliwattHours ? "mWh" : "mAh"},
        {"cycleCount", record.cycleCount},
    };
}

/// A CSV cell: the JSON text without the quotes of a string (none of ours holds a comma or a
/// quote), and nothing for an absent figure.
std::string cell(const JsonValue& value) {
    std::string text = value.dump();
    if (text == "null") {
        return {};
    }
    if (text.size() >= 2 && text.front() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

template <typename Record> void print(const std::vector<Record>& records, bool csv) {
    bool header = csv;
    for (const Record& record : records) {
        const Fields fields = fieldsOf(record);
        if (header) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                std::cout << (i ? "," : "") << fields[i].first;
            }
            std::cout << '\n';
            header = false;
        }
        if (csv) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                std::cout << (i ? "," : "") << cell(fields[i].second);
            }
            std::cout << '\n';
        } else {
            std::cout << JsonValue(JsonValue::Object(fields.begin(), fields.end())).dump() << '\n';
        }
    }
}

} // namespace

int historyCommand(const Arguments& arguments) {
    bool csv = false;
    bool health = false;
    std::optional<std::chrono::seconds> since;
    QString file = HistoryStore::defaultFilePath();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--csv") {
            csv = true;
        } else if (argument == "--health") {
            health = true;
        } else if ((argument == "--since" || argument == "--file") && i + 1 < arguments.size()) {
            const std::string& value = arguments[++i];
            if (argument == "--file") {
                file = QString::fromStdString(value);
            } else if (!(since = parseSpan(value))) {
                return fail("--since takes a span such as 60m, 24h, 7d or 1y, not \"" + value + "\"");
            }
        } else {
            return fail("history takes [--since SPAN] [--csv] [--health] [--file PATH], not \"" + argument +
                        "\"");
        }
    }
    if (!QFileInfo::exists(file)) {
        return fail("no history file at " + file.toStdString());
    }
    const Date now = std::chrono::system_clock::now();
    const Date from = since ? now - *since : Date{};
    HistoryFileReader reader(file);
    // A row may start up to a minute ahead of a slow clock; the end is left open.
    const Date to = now + std::chrono::days(1);
    if (health) {
        print(reader.health(from, to), csv);
    } else {
        print(reader.rows(from, to), csv);
    }
    return 0;
}

} // namespace voltrane::probe
