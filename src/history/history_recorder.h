#pragma once

#include "history/history_minute_accumulator.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

namespace voltrane {

class BatteryRegistry;
class PowerMonitor;

/// Records the monitor's samples into the history file. The samples are summed where they arrive
/// (a few additions each); each finished minute goes to a worker thread that owns the file, so the
/// sampling tick never waits on the disk. The worker writes one transaction a minute, reads the
/// battery's health once a day and folds old rows once an hour. A file that cannot be written
/// costs nothing but a retry: rows wait in memory (a day at most) and a closed file is tried again
/// every quarter of an hour of rows.
class HistoryRecorder : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<Date()>;

    /// Rows kept in memory while the file cannot take them.
    static constexpr std::size_t pendingLimit = 24 * 60;
    /// Rows between two attempts to open a file that could not be opened.
    static constexpr int reopenEvery = 15;

    /// `health` may be null: no health records are kept then.
    HistoryRecorder(QString filePath, std::unique_ptr<BatteryRegistry> health, Clock clock,
                    QObject* parent = nullptr);
    /// Writes the minute in progress and closes the file.
    ~HistoryRecorder() override;
    HistoryRecorder(const HistoryRecorder&) = delete;
    HistoryRecorder& operator=(const HistoryRecorder&) = delete;

    /// Records every sample `monitor` publishes from now on.
    void follow(const PowerMonitor& monitor);

    /// Samples are dated by their `sampledAt`, or by the clock when they carry no date.
    void record(const PowerSnapshot& snapshot);
    void record(const ComponentPowerSnapshot& components);
    /// Returns once the worker has handled everything handed to it so far.
    void sync();

private:
    struct Worker;
    void hand(const std::optional<HistoryRow>& row);
    Date dateOf(Date sampledAt) const;

    Clock clock_;
    HistoryMinuteAccumulator accumulator_;
    QThread thread_;
    std::unique_ptr<QObject> context_; // lives on thread_: queued calls run there
    std::shared_ptr<Worker> worker_;   // used on thread_ only
};

} // namespace voltrane
