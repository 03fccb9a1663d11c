#pragma once

#include "telemetry/battery/recorded_table.h"

#include <QByteArray>
#include <QString>

namespace voltrane {

/// Reads a recorded smart-battery table in any of its forms, told apart by content: the XML
/// property list or the text form of the registry tool, or our typed JSON.
class RecordedTableReader {
public:
    /// '<' first means XML; a header or `"Key" = value` line means the text form; else typed JSON.
    static RecordedTable fromBytes(const QByteArray& bytes);
    /// Reads the whole file; errors name the file.
    static RecordedTable fromFile(const QString& path);
};

} // namespace voltrane
