#pragma once

#include "history/history_row.h"

#include <QString>
#include <chrono>
#include <optional>

namespace voltrane {

/// The history file, open for writing on the thread that made it (a database connection belongs
/// to one thread). The folder and the file are made when missing; a file that is not a sound
/// database, or that a newer build laid out, is moved aside under a name that says why
/// ("history.sqlite3.corrupt-20261208-041500", "history.sqlite3.newer-v3-…") and a fresh one is
/// started; an older layout is upgraded in place. Nothing is ever deleted but rows past their time.
/// When the file cannot be opened at all the store stays closed and every write fails.
class HistoryStore {
public:
    enum class Write { written, refused, failed };

    /// Minute rows are folded into hour rows after two weeks; hour rows go after two years.
    static constexpr std::chrono::days minuteRetention{14};
    static constexpr std::chrono::days hourRetention{730};

    explicit HistoryStore(QString filePath);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    /// $XDG_DATA_HOME/voltrane/history.sqlite3 (or the platform's data folder).
    static QString defaultFilePath();

    bool isOpen() const { return open_; }
    const QString& filePath() const { return filePath_; }
    /// Where an unusable file was moved when this store opened; empty when none was.
    const QString& setAsidePath() const { return setAside_; }
    /// The connection's name, for queries on the thread that made the store.
    const QString& connectionName() const { return connection_; }

    /// Writes one minute row in its own transaction. A minute already kept, as a minute or within
    /// an hour row, is refused: after the clock went back, the minutes it repeats keep the rows
    /// written first, and only the gaps are filled.
    Write add(const HistoryRow& minute);
    /// Keeps at most one health record a day, the first.
    Write add(const BatteryHealthRecord& record);
    /// Folds minute rows older than `minuteRetention` into hour rows and drops hour rows older
    /// than `hourRetention`, in one transaction; false when that failed and nothing changed.
    bool prune(Date now);

private:
    enum class Opening { ready, unusable, unreachable };
    Opening openFile();
    void closeConnection();
    bool setAside(const QString& reason);
    /// Whether `statement` finds a row for `key`.
    bool taken(const QString& statement, qint64 key);

    QString filePath_;
    QString connection_;
    QString setAside_;
    bool open_ = false;
};

/// Reads the history file on its own read-only connection per call, so it can be used from any
/// one thread while the recorder writes (readers do not block the writer). A missing or
/// unreadable file reads as empty.
class HistoryFileReader final : public HistoryReading {
public:
    explicit HistoryFileReader(QString filePath) : filePath_(std::move(filePath)) {}

    std::vector<HistoryRow> rows(Date from, Date to) override;
    std::vector<BatteryHealthRecord> health(Date from, Date to) override;

private:
    QString filePath_;
};

} // namespace voltrane
