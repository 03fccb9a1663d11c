#pragma once

#include "telemetry/battery/property_value.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

namespace voltrane {

/// Reads a recorded smart-battery table: our typed JSON form, or the XML property list printed by
/// the registry tool (an array of dictionaries whose first one is the entry, or one dictionary).
class RecordedTableReader {
public:
    struct Result {
        std::optional<PropertyTable> entry; ///< nothing for a recording that holds no entry
        std::string error;                  ///< one line; empty when the recording was read

        bool ok() const { return error.empty(); }
    };

    /// Typed JSON: true/false, strings, arrays and objects as themselves; a plain integer literal is
    /// signed 64-bit, other literals doubles; {"$u64": "<decimal>"}, {"$i64": n}, {"$f64": n or
    /// "nan"/"-nan"/"inf"/"-inf"} keep a storage type; null is a value no reader accepts.
    static Result fromTypedJson(const QByteArray& bytes);
    /// XML property list; <data> and <date> become values no reader accepts; an <integer> above
    /// INT64_MAX is unsigned 64-bit.
    static Result fromPlist(const QByteArray& bytes);
    /// Either form, told apart by the first non-blank character ('<' means XML).
    static Result fromBytes(const QByteArray& bytes);
    /// Reads the whole file; errors name the file.
    static Result fromFile(const QString& path);
};

} // namespace voltrane
