#include "history/history_store.h"

#include "history/history_fold.h"
#include "history/history_sql.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <algorithm>

namespace voltrane {

namespace {

/// A one-value pragma's answer; nothing when it cannot be read, and then `damaged` tells whether
/// SQLite found the file damaged or no database (rather than busy or unreadable).
std::optional<QVariant> pragma(const QString& connection, const QString& statement, bool* damaged = nullptr) {
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(statement) || !query.next()) {
        if (damaged != nullptr) {
            const QString code = query.lastError().nativeErrorCode(); // SQLITE_CORRUPT, SQLITE_NOTADB
            *damaged = code == QStringLiteral("11") || code == QStringLiteral("26");
        }
        return std::nullopt;
    }
    return query.value(0);
}

bool looksLikeDatabase(const QString& path) {
    QFile file(path);
    if (!file.exists() || file.size() == 0) {
        return true; // an empty file is an empty database
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return true; // not ours to judge: opening it will fail on its own
    }
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

} // namespace

HistoryStore::HistoryStore(QString filePath)
    : filePath_(std::move(filePath)), connection_(history_sql::uniqueConnectionName()) {
    Opening opening = openFile();
    if (opening == Opening::unusable) {
        opening = openFile();
    }
    open_ = opening == Opening::ready;
    if (!open_) {
        closeConnection();
    }
}

HistoryStore::~HistoryStore() {
    closeConnection();
}

QString HistoryStore::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/voltrane/history.sqlite3");
}

HistoryStore::Opening HistoryStore::openFile() {
    const QFileInfo file(filePath_);
    if (!QDir().mkpath(file.absolutePath()) || !QFileInfo(file.absolutePath()).isWritable() ||
        (file.exists() && !file.isWritable())) {
        return Opening::unreachable;
    }
    if (!looksLikeDatabase(filePath_)) {
        return setAside(QStringLiteral("corrupt")) ? Opening::unusable : Opening::unreachable;
    }
    closeConnection();
    // No handle is held across a move aside: the connection must be free to be removed.
    if (!history_sql::open(filePath_, connection_, false).isOpen()) {
        return Opening::unreachable;
    }
    // One row a minute needs few pages in memory; the default cache would be 2 MB, and the
    // integrity check below reads every page of the file through it.
    pragma(connection_, QStringLiteral("PRAGMA cache_size = -256"));
    // Checked before anything is written, so a file set aside is the file as it was found.
    bool damaged = false;
    const auto integrity = pragma(connection_, QStringLiteral("PRAGMA integrity_check"), &damaged);
    const auto version =
        integrity ? pragma(connection_, QStringLiteral("PRAGMA user_version"), &damaged) : std::nullopt;
    if (damaged || (integrity && integrity->toString() != QStringLiteral("ok"))) {
        return setAside(QStringLiteral("corrupt")) ? Opening::unusable : Opening::unreachable;
    }
    if (!version) {
        return Opening::unreachable; // busy or unreadable: tried again later, left as it is
    }
    if (version->toInt() > history_sql::schemaVersion) {
        return setAside(QStringLiteral("newer-v%1").arg(version->toInt())) ? Opening::unusable
                                                                           : Opening::unreachable;
    }
    if (!pragma(connection_, QStringLiteral("PRAGMA journal_mode = WAL"))) {
        return Opening::unreachable;
    }
    // A crash loses at most the transaction in progress; NORMAL keeps WAL commits off the fsync path.
    pragma(connection_, QStringLiteral("PRAGMA synchronous = NORMAL"));
    QSqlDatabase database = QSqlDatabase::database(connection_, false);
    return history_sql::migrate(database, version->toInt()) ? Opening::ready : Opening::unreachable;
}

void HistoryStore::closeConnection() {
    if (!QSqlDatabase::contains(connection_)) {
        return;
    }
    {
        QSqlDatabase database = QSqlDatabase::database(connection_, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool HistoryStore::setAside(const QString& reason) {
    closeConnection();
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = filePath_ + QLatin1Char('.') + reason + QLatin1Char('-') + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n) {
        target = filePath_ + QLatin1Char('.') + reason + QLatin1Char('-') + stamp + QLatin1Char('-') +
                 QString::number(n);
    }
    if (!QFile::rename(filePath_, target)) {
        return false;
    }
    // The journal files belong to the old file: they go with it, or SQLite would replay them.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(filePath_ + suffix)) {
            QFile::rename(filePath_ + suffix, target + suffix);
        }
    }
    setAside_ = target;
    return true;
}

bool HistoryStore::taken(const QString& statement, qint64 key) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    // A query that fails counts as taken: nothing is written that might replace a row.
    if (!query.prepare(statement)) {
        return true;
    }
    query.addBindValue(key);
    return !query.exec() || query.next();
}

HistoryStore::Write HistoryStore::add(const HistoryRow& minute) {
    if (!open_) {
        return Write::failed;
    }
    const qint64 start = history_sql::secondsOf(minute.start);
    const qint64 hour = history_sql::secondsOf(std::chrono::floor<std::chrono::hours>(minute.start));
    if (minute.resolution != HistoryResolution::minute ||
        taken(QStringLiteral("SELECT 1 FROM minute_rows WHERE start = ?"), start) ||
        taken(QStringLiteral("SELECT 1 FROM hour_rows WHERE start = ?"), hour)) {
        return Write::refused;
    }
    QSqlDatabase database = QSqlDatabase::database(connection_, false);
    if (!database.transaction()) {
        return Write::failed;
    }
    if (!history_sql::insert(database, minute) || !database.commit()) {
        database.rollback();
        return Write::failed;
    }
    return Write::written;
}

HistoryStore::Write HistoryStore::add(const BatteryHealthRecord& record) {
    if (!open_) {
        return Write::failed;
    }
    if (taken(QStringLiteral("SELECT 1 FROM health WHERE day = ?"),
              history_sql::secondsOf(record.recordedAt) / 86400)) {
        return Write::refused;
    }
    QSqlDatabase database = QSqlDatabase::database(connection_, false);
    return history_sql::insert(database, record) ? Write::written : Write::failed;
}

bool HistoryStore::prune(Date now) {
    if (!open_) {
        return false;
    }
    const Date cutoff = std::chrono::floor<std::chrono::hours>(now - minuteRetention);
    QSqlDatabase database = QSqlDatabase::database(connection_, false);
    const auto minutes = history_sql::select(database, HistoryResolution::minute, Date{}, cutoff);
    if (!minutes) {
        return false;
    }
    std::vector<HistoryRow> parts = *minutes;
    const qint64 foldFrom =
        minutes->empty()
            ? 0
            : history_sql::secondsOf(std::chrono::floor<std::chrono::hours>(minutes->front().start));
    if (!minutes->empty()) {
        // An hour already folded (the clock went back since) takes the new minutes in.
        const auto earlier =
            history_sql::select(database, HistoryResolution::hour, history_sql::dateOf(foldFrom), cutoff);
        if (!earlier) {
            return false;
        }
        parts.insert(parts.end(), earlier->begin(), earlier->end());
    }
    if (!database.transaction()) {
        return false;
    }
    QSqlQuery query(database);
    bool ok = true;
    if (!minutes->empty()) {
        ok = query.exec(QStringLiteral("DELETE FROM hour_rows WHERE start >= %1 AND start < %2")
                            .arg(foldFrom)
                            .arg(history_sql::secondsOf(cutoff)));
        for (const HistoryRow& hour : foldIntoHours(std::move(parts))) {
            ok = ok && history_sql::insert(database, hour);
        }
        ok = ok && query.exec(QStringLiteral("DELETE FROM minute_rows WHERE start < %1")
                                  .arg(history_sql::secondsOf(cutoff)));
    }
    ok = ok && query.exec(QStringLiteral("DELETE FROM hour_rows WHERE start < %1")
                              .arg(history_sql::secondsOf(now - hourRetention)));
    if (!ok || !database.commit()) {
        database.rollback();
        return false;
    }
    return true;
}

namespace {

/// Runs `read` on a read-only connection of its own to `path`, closed afterwards; what `read`
/// gives back, or nothing when the file is missing.
template <typename Read>
auto readOnly(const QString& path, Read read) -> decltype(read(std::declval<QSqlDatabase&>())) {
    decltype(read(std::declval<QSqlDatabase&>())) result;
    if (!QFileInfo::exists(path)) {
        return result;
    }
    const QString name = history_sql::uniqueConnectionName();
    {
        QSqlDatabase database = history_sql::open(path, name, true);
        result = read(database);
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

std::vector<HistoryRow> HistoryFileReader::rows(Date from, Date to) {
    return readOnly(filePath_, [&](QSqlDatabase& database) {
        std::vector<HistoryRow> rows;
        auto hours = history_sql::select(database, HistoryResolution::hour, from, to);
        auto minutes = history_sql::select(database, HistoryResolution::minute, from, to);
        if (hours && minutes) {
            rows = std::move(*hours);
            rows.insert(rows.end(), minutes->begin(), minutes->end());
            std::stable_sort(rows.begin(), rows.end(),
                             [](const HistoryRow& a, const HistoryRow& b) { return a.start < b.start; });
        }
        return rows;
    });
}

std::vector<BatteryHealthRecord> HistoryFileReader::health(Date from, Date to) {
    return readOnly(filePath_, [&](QSqlDatabase& database) {
        return history_sql::selectHealth(database, from, to).value_or(std::vector<BatteryHealthRecord>{});
    });
}

} // namespace voltrane
