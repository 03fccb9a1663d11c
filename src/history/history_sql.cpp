#include "history/history_sql.h"

#include <QAtomicInteger>
#include <QSqlQuery>
#include <QVariant>
#include <array>
#include <cmath>

namespace voltrane::history_sql {

namespace {

// Figures are kept as integers (milliwatts, microwatt-hours, milliseconds): SQLite stores small
// integers in one to four bytes where a real takes eight, which keeps two years under 10 MB.
const QString kRowColumns = QStringLiteral(
    "start, samples, covered_ms, on_battery_ms, headline_mean, headline_min, headline_max, system_mean, "
    "system_min, system_max, input_mean, input_min, input_max, battery_mean, battery_min, battery_max, "
    "adapter_uwh, charged_uwh, discharged_uwh, system_uwh, charge, state, cpu_mw, gpu_mw, ane_mw, "
    "dram_mw, display_mw, port_output_mw");
constexpr int kRowColumnCount = 28;
// Start in seconds since the epoch, as the row id: no separate key to store.
const QString kRowTable = QStringLiteral(
    "(start INTEGER PRIMARY KEY, samples INTEGER NOT NULL, covered_ms INTEGER, on_battery_ms INTEGER, "
    "headline_mean INTEGER, headline_min INTEGER, headline_max INTEGER, system_mean INTEGER, system_min "
    "INTEGER, system_max INTEGER, input_mean INTEGER, input_min INTEGER, input_max INTEGER, battery_mean "
    "INTEGER, battery_min INTEGER, battery_max INTEGER, adapter_uwh INTEGER, charged_uwh INTEGER, "
    "discharged_uwh INTEGER, system_uwh INTEGER, charge INTEGER, state INTEGER, cpu_mw INTEGER, gpu_mw "
    "INTEGER, ane_mw INTEGER, dram_mw INTEGER, display_mw INTEGER, port_output_mw INTEGER)");

const QString kHealthColumns = QStringLiteral("day, recorded_at, full_charge, design, unit, cycles");

// The codes in the file, independent of the enum's order.
constexpr std::array<std::pair<PowerState, int>, 5> kStateCodes{{
    {PowerState::unavailable, 0},
    {PowerState::charging, 1},
    {PowerState::charged, 2},
    {PowerState::pluggedIn, 3},
    {PowerState::onBattery, 4},
}};

int codeOf(PowerState state) {
    for (const auto& [known, code] : kStateCodes) {
        if (known == state) {
            return code;
        }
    }
    return 0;
}

PowerState stateOf(int code) {
    for (const auto& [state, known] : kStateCodes) {
        if (known == code) {
            return state;
        }
    }
    return PowerState::unavailable;
}

QVariant scaled(double value, double factor) {
    return std::isfinite(value) ? QVariant(qint64(std::llround(value * factor))) : QVariant();
}

QVariant scaled(const std::optional<double>& value, double factor) {
    return value ? scaled(*value, factor) : QVariant();
}

std::optional<double> unscaled(const QVariant& value, double factor) {
    if (value.isNull()) {
        return std::nullopt;
    }
    return value.toLongLong() / factor;
}

bool run(QSqlDatabase& database, const QString& statement) {
    QSqlQuery query(database);
    return query.exec(statement);
}

} // namespace

qint64 secondsOf(Date date) {
    return std::chrono::floor<std::chrono::seconds>(date.time_since_epoch()).count();
}

Date dateOf(qint64 seconds) {
    return Date(std::chrono::seconds(seconds));
}

QString uniqueConnectionName() {
    static QAtomicInteger<quint64> next = 0;
    return QStringLiteral("voltrane-history-%1").arg(next.fetchAndAddRelaxed(1));
}

QSqlDatabase open(const QString& path, const QString& name, bool readOnly) {
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    database.setDatabaseName(path);
    // The writer commits once a minute; a reader never waits long behind it.
    database.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                        : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    database.open();
    return database;
}

bool migrate(QSqlDatabase& database, int fromVersion) {
    // Step n brings a file of layout n to layout n + 1.
    static const std::array<QStringList, schemaVersion> steps{{
        {
            QStringLiteral("CREATE TABLE minute_rows %1").arg(kRowTable),
            QStringLiteral("CREATE TABLE hour_rows %1").arg(kRowTable),
            QStringLiteral("CREATE TABLE health (day INTEGER PRIMARY KEY, recorded_at INTEGER NOT NULL, "
                           "full_charge REAL, design REAL, unit INTEGER NOT NULL, cycles INTEGER)"),
        },
    }};
    if (fromVersion < 0 || fromVersion >= schemaVersion) {
        return fromVersion == schemaVersion;
    }
    if (!database.transaction()) {
        return false;
    }
    for (int version = fromVersion; version < schemaVersion; ++version) {
        for (const QString& statement : steps[static_cast<std::size_t>(version)]) {
            if (!run(database, statement)) {
                database.rollback();
                return false;
            }
        }
    }
    if (!run(database, QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion))) {
        database.rollback();
        return false;
    }
    return database.commit();
}

QString tableOf(HistoryResolution resolution) {
    return resolution == HistoryResolution::minute ? QStringLiteral("minute_rows")
                                                   : QStringLiteral("hour_rows");
}

bool insert(QSqlDatabase& database, const HistoryRow& row) {
    QSqlQuery query(database);
    QString marks = QStringLiteral("?");
    for (int i = 1; i < kRowColumnCount; ++i) {
        marks += QStringLiteral(", ?");
    }
    if (!query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(tableOf(row.resolution), kRowColumns, marks))) {
        return false;
    }
    query.addBindValue(secondsOf(row.start));
    query.addBindValue(row.sampleCount);
    query.addBindValue(scaled(row.coveredSeconds, 1e3));
    query.addBindValue(scaled(row.onBatterySeconds, 1e3));
    for (const auto* figure : {&row.headlineWatts, &row.systemWatts, &row.inputWatts, &row.batteryWatts}) {
        query.addBindValue(*figure ? scaled((*figure)->mean, 1e3) : QVariant());
        query.addBindValue(*figure ? scaled((*figure)->min, 1e3) : QVariant());
        query.addBindValue(*figure ? scaled((*figure)->max, 1e3) : QVariant());
    }
    for (const double energy :
         {row.adapterEnergyWh, row.batteryChargedWh, row.batteryDischargedWh, row.systemEnergyWh}) {
        query.addBindValue(scaled(energy, 1e6));
    }
    query.addBindValue(row.chargePercent ? QVariant(*row.chargePercent) : QVariant());
    query.addBindValue(codeOf(row.state));
    for (const auto* watts : {&row.cpuWatts, &row.gpuWatts, &row.aneWatts, &row.dramWatts, &row.displayWatts,
                              &row.portOutputWatts}) {
        query.addBindValue(scaled(*watts, 1e3));
    }
    return query.exec();
}

bool insert(QSqlDatabase& database, const BatteryHealthRecord& record) {
    QSqlQuery query(database);
    if (!query.prepare(
            QStringLiteral("INSERT INTO health (%1) VALUES (?, ?, ?, ?, ?, ?)").arg(kHealthColumns))) {
        return false;
    }
    query.addBindValue(secondsOf(record.recordedAt) / 86400);
    query.addBindValue(secondsOf(record.recordedAt));
    query.addBindValue(record.fullChargeCapacity ? QVariant(*record.fullChargeCapacity) : QVariant());
    query.addBindValue(record.designCapacity ? QVariant(*record.designCapacity) : QVariant());
    query.addBindValue(record.unit == CapacityUnit::milliampHours ? 1 : 0);
    query.addBindValue(record.cycleCount ? QVariant(qint64(*record.cycleCount)) : QVariant());
    return query.exec();
}

std::optional<std::vector<HistoryRow>> select(QSqlDatabase& database, HistoryResolution resolution, Date from,
                                              Date to) {
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE start >= ? AND start < ? ORDER BY start")
                           .arg(kRowColumns, tableOf(resolution)))) {
        return std::nullopt;
    }
    query.addBindValue(secondsOf(from - std::chrono::nanoseconds(1)) + 1); // [from, to) in whole seconds
    query.addBindValue(secondsOf(to - std::chrono::nanoseconds(1)) + 1);
    if (!query.exec()) {
        return std::nullopt;
    }
    std::vector<HistoryRow> rows;
    while (query.next()) {
        int column = 0;
        const auto next = [&] { return query.value(column++); };
        HistoryRow row;
        row.resolution = resolution;
        row.start = dateOf(next().toLongLong());
        row.sampleCount = next().toInt();
        row.coveredSeconds = unscaled(next(), 1e3).value_or(0);
        row.onBatterySeconds = unscaled(next(), 1e3).value_or(0);
        for (auto* figure : {&row.headlineWatts, &row.systemWatts, &row.inputWatts, &row.batteryWatts}) {
            const auto mean = unscaled(next(), 1e3);
            const auto min = unscaled(next(), 1e3);
            const auto max = unscaled(next(), 1e3);
            if (mean && min && max) {
                *figure = FigureSummary{*mean, *min, *max};
            }
        }
        for (double* energy :
             {&row.adapterEnergyWh, &row.batteryChargedWh, &row.batteryDischargedWh, &row.systemEnergyWh}) {
            // A file edited by hand may hold anything; totals never go negative.
            *energy = std::max(unscaled(next(), 1e6).value_or(0), 0.0);
        }
        const QVariant charge = next();
        if (!charge.isNull()) {
            row.chargePercent = charge.toInt();
        }
        row.state = stateOf(next().toInt());
        for (auto* watts : {&row.cpuWatts, &row.gpuWatts, &row.aneWatts, &row.dramWatts, &row.displayWatts,
                            &row.portOutputWatts}) {
            *watts = unscaled(next(), 1e3);
        }
        rows.push_back(row);
    }
    return rows;
}

std::optional<std::vector<BatteryHealthRecord>> selectHealth(QSqlDatabase& database, Date from, Date to) {
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT %1 FROM health WHERE recorded_at >= ? AND recorded_at < ? "
                                      "ORDER BY recorded_at")
                           .arg(kHealthColumns))) {
        return std::nullopt;
    }
    query.addBindValue(secondsOf(from - std::chrono::nanoseconds(1)) + 1);
    query.addBindValue(secondsOf(to - std::chrono::nanoseconds(1)) + 1);
    if (!query.exec()) {
        return std::nullopt;
    }
    std::vector<BatteryHealthRecord> records;
    while (query.next()) {
        BatteryHealthRecord record;
        record.recordedAt = dateOf(query.value(1).toLongLong());
        if (!query.value(2).isNull()) {
            record.fullChargeCapacity = query.value(2).toDouble();
        }
        if (!query.value(3).isNull()) {
            record.designCapacity = query.value(3).toDouble();
        }
        record.unit =
            query.value(4).toInt() == 1 ? CapacityUnit::milliampHours : CapacityUnit::milliwattHours;
        if (!query.value(5).isNull()) {
            record.cycleCount = query.value(5).toLongLong();
        }
        records.push_back(record);
    }
    return records;
}

} // namespace voltrane::history_sql
