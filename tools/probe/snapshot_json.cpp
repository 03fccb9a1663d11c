#include "snapshot_json.h"

#include "common/c_number.h"
#include "common/json_literals.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QTimeZone>
#include <array>
#include <cmath>
#include <limits>

namespace voltrane::probe {

std::string isoDate(Date date) {
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC).toString(Qt::ISODateWithMs).toStdString();
}

JsonValue toJson(const PowerSnapshot& s) {
    JsonValue out = JsonValue::object();
    out.add("voltageVolts", s.voltageVolts)
        .add("currentMilliamps", s.currentMilliamps)
        .add("currentMilliampsIsEstimated", s.currentMilliampsIsEstimated)
        .add("batteryWatts", s.batteryWatts)
        .add("batteryWattsIsEstimated", s.batteryWattsIsEstimated)
        .add("systemWatts", s.systemWatts)
        .add("inputWatts", s.inputWatts)
        .add("adapterRatedWatts", s.adapterRatedWatts)
        .add("chargePercent", s.chargePercent)
        .add("batteryTimeRemainingMinutes", s.batteryTimeRemainingMinutes)
        .add("temperatureCelsius", s.temperatureCelsius)
        .add("cycleCount", s.cycleCount)
        .add("portOutputWatts", s.portOutputWatts)
        .add("powerOutputPortCount", s.powerOutputPortCount)
        .add("state", caseName(s.state))
        .add("isExternalConnected", s.isExternalConnected)
        .add("sampledAt", isoDate(s.sampledAt))
        .add("headlineWatts", s.headlineWatts());
    return out;
}

JsonValue toJson(const ComponentPowerSnapshot& s) {
    JsonValue out = JsonValue::object();
    out.add("cpuWatts", s.cpuWatts)
        .add("gpuWatts", s.gpuWatts)
        .add("aneWatts", s.aneWatts)
        .add("dramWatts", s.dramWatts)
        .add("displayWatts", s.displayWatts)
        .add("sampleInterval", s.sampleInterval)
        .add("sourceAvailable", s.sourceAvailable)
        .add("sampledAt", isoDate(s.sampledAt));
    return out;
}

namespace {

// QJsonDocument reads the literal -0.0 as +0; the input marks it as this text before parsing.
constexpr const char* kNegativeZero = "-0";

/// Replaces every number literal whose value is negative zero ("-0", "-0.00", "-0e5") by the
/// string "-0", leaving strings and every other literal alone.
RewrittenJson markNegativeZeros(const QByteArray& json) {
    return rewriteNumberLiterals(json, [](const QByteArray& literal) -> std::optional<QByteArray> {
        const auto value = parseCNumber(literal.toStdString());
        if (value && *value == 0 && std::signbit(*value)) {
            return QByteArray("\"") + kNegativeZero + '"';
        }
        return std::nullopt;
    });
}

class Reader {
public:
    Reader(const QJsonObject& object, std::string& error) : object_(object), error_(error) {}

    bool ok() const { return error_.empty(); }

    std::optional<double> number(const char* key) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) {
            return std::nullopt;
        }
        if (value.isDouble()) {
            return value.toDouble();
        }
        if (value.isString()) {
            const QString text = value.toString();
            if (const auto nonFinite = parseNonFiniteWord(text.toStdString())) {
                return nonFinite;
            }
            if (text == QLatin1String(kNegativeZero)) {
                return -0.0;
            }
        }
        fail(key, "a number, null, or \"nan\"/\"inf\"/\"-inf\"");
        return std::nullopt;
    }

    template <typename Int> std::optional<Int> integer(const char* key) {
        const auto value = number(key);
        if (!value) {
            return std::nullopt;
        }
        if (!std::isfinite(*value) || std::trunc(*value) != *value ||
            *value < static_cast<double>(std::numeric_limits<Int>::min()) ||
            *value > static_cast<double>(std::numeric_limits<Int>::max())) {
            fail(key, "an integer");
            return std::nullopt;
        }
        return static_cast<Int>(*value);
    }

    bool flag(const char* key) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) {
            return false;
        }
        if (!value.isBool()) {
            fail(key, "true or false");
            return false;
        }
        return value.toBool();
    }

    Date date(const char* key) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) {
            return Date{};
        }
        const QDateTime parsed = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        if (!value.isString() || !parsed.isValid()) {
            fail(key, "an ISO-8601 date");
            return Date{};
        }
        return Date{std::chrono::milliseconds(parsed.toMSecsSinceEpoch())};
    }

    PowerState state(const char* key) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) {
            return PowerState::unavailable;
        }
        constexpr std::array states{PowerState::charging, PowerState::charged, PowerState::pluggedIn,
                                    PowerState::onBattery, PowerState::unavailable};
        for (const PowerState candidate : states) {
            if (value.toString() == QLatin1String(caseName(candidate))) {
                return candidate;
            }
        }
        fail(key, "a state name (charging, charged, pluggedIn, onBattery, unavailable)");
        return PowerState::unavailable;
    }

private:
    void fail(const char* key, const char* wanted) {
        if (error_.empty()) {
            error_ = std::string("\"") + key + "\" must be " + wanted;
        }
    }

    const QJsonObject& object_;
    std::string& error_;
};

} // namespace

std::optional<PowerSnapshot> powerSnapshotFromJson(const QJsonObject& object, std::string& error) {
    Reader read(object, error);
    PowerSnapshot s;
    s.voltageVolts = read.number("voltageVolts");
    s.currentMilliamps = read.number("currentMilliamps");
    s.currentMilliampsIsEstimated = read.flag("currentMilliampsIsEstimated");
    s.batteryWatts = read.number("batteryWatts");
    s.batteryWattsIsEstimated = read.flag("batteryWattsIsEstimated");
    s.systemWatts = read.number("systemWatts");
    s.inputWatts = read.number("inputWatts");
    s.adapterRatedWatts = read.number("adapterRatedWatts");
    s.chargePercent = read.integer<int>("chargePercent");
    s.batteryTimeRemainingMinutes = read.integer<int>("batteryTimeRemainingMinutes");
    s.temperatureCelsius = read.number("temperatureCelsius");
    s.cycleCount = read.integer<std::int64_t>("cycleCount");
    s.portOutputWatts = read.number("portOutputWatts");
    s.powerOutputPortCount = read.integer<int>("powerOutputPortCount");
    s.state = read.state("state");
    s.isExternalConnected = read.flag("isExternalConnected");
    s.sampledAt = read.date("sampledAt");
    if (!read.ok()) {
        return std::nullopt;
    }
    return s;
}

std::optional<ComponentPowerSnapshot> componentSnapshotFromJson(const QJsonObject& object,
                                                                std::string& error) {
    Reader read(object, error);
    ComponentPowerSnapshot s;
    s.cpuWatts = read.number("cpuWatts");
    s.gpuWatts = read.number("gpuWatts");
    s.aneWatts = read.number("aneWatts");
    s.dramWatts = read.number("dramWatts");
    s.displayWatts = read.number("displayWatts");
    s.sampleInterval = read.number("sampleInterval").value_or(0);
    s.sourceAvailable = read.flag("sourceAvailable");
    s.sampledAt = read.date("sampledAt");
    if (!read.ok()) {
        return std::nullopt;
    }
    return s;
}

std::optional<SampleInput> sampleFromJson(const QJsonObject& input, bool bareSnapshot, std::string& error) {
    const QJsonValue snapshotValue = input.value(QLatin1String("snapshot"));
    if (!snapshotValue.isObject() && !bareSnapshot) {
        error = "\"snapshot\" must be an object";
        return std::nullopt;
    }
    const auto snapshot =
        powerSnapshotFromJson(snapshotValue.isObject() ? snapshotValue.toObject() : input, error);
    if (!snapshot) {
        error = "snapshot: " + error;
        return std::nullopt;
    }
    SampleInput sample{*snapshot, ComponentPowerSnapshot::unavailable(snapshot->sampledAt)};
    const QJsonValue componentsValue = input.value(QLatin1String("components"));
    if (!componentsValue.isUndefined() && !componentsValue.isNull()) {
        if (!componentsValue.isObject()) {
            error = "\"components\" must be an object";
            return std::nullopt;
        }
        const auto components = componentSnapshotFromJson(componentsValue.toObject(), error);
        if (!components) {
            error = "components: " + error;
            return std::nullopt;
        }
        sample.components = *components;
    }
    return sample;
}

std::optional<QJsonObject> readJsonObjectFile(const std::string& path, std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read " + path + ": " + file.errorString().toStdString();
        return std::nullopt;
    }
    QJsonParseError parseError{};
    const RewrittenJson marked = markNegativeZeros(file.readAll());
    const QJsonDocument document = QJsonDocument::fromJson(marked.text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = path + ": malformed JSON at offset " +
                std::to_string(marked.originalOffset(parseError.offset)) + ": " +
                parseError.errorString().toStdString();
        return std::nullopt;
    }
    if (!document.isObject()) {
        error = path + ": expected a JSON object";
        return std::nullopt;
    }
    return document.object();
}

} // namespace voltrane::probe
