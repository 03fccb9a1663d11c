#pragma once

#include "telemetry/battery/recorded_table.h"

#include <QByteArray>
#include <optional>
#include <string_view>

namespace voltrane {

/// Reads our typed JSON form of a property table: true/false, strings, arrays and objects as
/// themselves; a plain integer literal is signed 64-bit, other literals doubles; {"$u64": "<decimal>"},
/// {"$i64": n}, {"$f64": n or "nan"/"-nan"/"inf"/"-inf"} keep a storage type; null is a value no
/// reader accepts.
class TypedJsonTableReader {
public:
    /// The table, or an error naming the offset or the key path of the fault.
    static RecordedTable read(const QByteArray& bytes);

    /// The plain form read directly, without Qt (a recording read every second stays cheap):
    /// well-formed ASCII without escapes or repeated keys. Nothing for anything else.
    static std::optional<PropertyTable> readPlain(std::string_view text);

    /// Every form, through Qt's JSON parser: what `read` falls back to.
    static RecordedTable readThroughQt(const QByteArray& bytes);
};

} // namespace voltrane
