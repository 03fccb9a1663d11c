#pragma once

#include "telemetry/battery/recorded_table.h"

#include <QByteArray>

namespace voltrane {

/// Reads the XML property list the registry tool prints (`ioreg -a -r -c AppleSmartBattery`): an
/// array of dictionaries whose first one is the entry, or one dictionary. <data> and <date> become
/// values no reader accepts; an <integer> above INT64_MAX is unsigned 64-bit.
///
/// XML that is malformed only because it stops early keeps what was read completely: a cut-off
/// <dict> or <array> keeps its complete members, a cut-off scalar or a key without its value is
/// dropped, with one note per such item of the entry.
class PlistTableReader {
public:
    /// The entry (nothing for an empty array); an error for malformed XML, or for a cut-off list
    /// in which no property of the entry was read.
    static RecordedTable read(const QByteArray& bytes);
};

} // namespace voltrane
