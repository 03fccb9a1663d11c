#pragma once

#include "history/history_row.h"

#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <vector>

class QSqlQuery;

namespace voltrane::history_sql {

/// The layout this build writes, kept in the file's `user_version`.
constexpr int schemaVersion = 1;

/// A connection name no other connection in the process has.
QString uniqueConnectionName();

/// Opens `path` on a new connection named `name`; read-only connections never create the file.
QSqlDatabase open(const QString& path, const QString& name, bool readOnly);

/// Brings a file of an older layout (0: empty) up to `schemaVersion`, all in one transaction.
bool migrate(QSqlDatabase& database, int fromVersion);

/// The table of each resolution.
QString tableOf(HistoryResolution resolution);

/// Inserts `row` into its resolution's table; false when the statement fails.
bool insert(QSqlDatabase& database, const HistoryRow& row);
bool insert(QSqlDatabase& database, const BatteryHealthRecord& record);

/// Rows of one resolution starting in [from, to), oldest first; nothing when the query fails.
std::optional<std::vector<HistoryRow>> select(QSqlDatabase& database, HistoryResolution resolution, Date from,
                                              Date to);
std::optional<std::vector<BatteryHealthRecord>> selectHealth(QSqlDatabase& database, Date from, Date to);

/// Seconds since the epoch, as the file keeps times.
qint64 secondsOf(Date date);
Date dateOf(qint64 seconds);

} // namespace voltrane::history_sql
