// The size of the history file at its fullest: two years of hour rows and two weeks of minute
// rows, every figure and component present and none of them round, plus a health record a day.
// Prints the file's size in bytes and per row.   history_file_size [FOLDER]
#include "history/history_sql.h"
#include "history/history_store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

namespace {

using namespace voltrane;

HistoryRow busyRow(Date start, HistoryResolution resolution, int index) {
    const double seconds = resolution == HistoryResolution::minute ? 60 : 3600;
    const double wave = std::sin(index * 0.37);
    const double system = 14.3 + 6.1 * wave;
    HistoryRow row;
    row.start = start;
    row.resolution = resolution;
    row.sampleCount = static_cast<int>(seconds);
    row.coveredSeconds = seconds - 0.4;
    row.onBatterySeconds = index % 3 == 0 ? seconds - 0.4 : 0;
    row.headlineWatts = FigureSummary{system, system - 3.217, system + 9.871};
    row.systemWatts = row.headlineWatts;
    row.inputWatts = FigureSummary{system + 11.13, system + 2.71, system + 31.9};
    row.batteryWatts = FigureSummary{11.13 - 0.3 * wave, -2.19, 28.4};
    row.adapterEnergyWh = (system + 11.13) * seconds / 3600;
    row.batteryChargedWh = 11.13 * seconds / 3600;
    row.batteryDischargedWh = 0.0173 * seconds / 3600;
    row.systemEnergyWh = system * seconds / 3600;
    row.chargePercent = 20 + index % 80;
    row.state = index % 3 == 0 ? PowerState::onBattery : PowerState::charging;
    row.cpuWatts = 4.21 + wave;
    row.gpuWatts = 1.63 - wave / 2;
    row.aneWatts = 0.31;
    row.dramWatts = 0.93;
    row.displayWatts = 2.47;
    row.portOutputWatts = 4.48;
    return row;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString path = folder + QStringLiteral("/history.sqlite3");
    const Date now = std::chrono::floor<std::chrono::minutes>(std::chrono::system_clock::now());
    const int hours = static_cast<int>(std::chrono::hours(HistoryStore::hourRetention).count());
    const int minutes = static_cast<int>(std::chrono::minutes(HistoryStore::minuteRetention).count());
    {
        HistoryStore store(path);
        if (!store.isOpen()) {
            std::fprintf(stderr, "history_file_size: cannot open %s\n", qPrintable(path));
            return 2;
        }
        // Hour rows are only ever written by the fold; here they go in directly, in one go.
        QSqlDatabase database = QSqlDatabase::database(store.connectionName());
        database.transaction();
        const Date firstHour = std::chrono::floor<std::chrono::hours>(now - HistoryStore::minuteRetention);
        for (int i = hours; i > 0; --i) {
            history_sql::insert(database,
                                busyRow(firstHour - std::chrono::hours(i), HistoryResolution::hour, i));
        }
        database.commit();
        for (int i = minutes; i > 0; --i) {
            store.add(busyRow(now - std::chrono::minutes(i), HistoryResolution::minute, i));
        }
        for (int day = 730; day > 0; --day) {
            store.add(BatteryHealthRecord{now - std::chrono::days(day), 52310.5 - day, 57020, {}, 900 - day});
        }
    }
    const qint64 bytes = QFileInfo(path).size();
    std::printf(
        "%d hour rows + %d minute rows + 730 health records: %lld bytes (%.2f MB), %.1f bytes a row\n", hours,
        minutes, static_cast<long long>(bytes), bytes / 1e6, static_cast<double>(bytes) / (hours + minutes));
    return 0;
}
