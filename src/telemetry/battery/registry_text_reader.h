#pragma once

#include "telemetry/battery/recorded_table.h"

#include <string_view>

namespace voltrane {

/// Reads the text form the registry tool prints (`ioreg -r -c AppleSmartBattery`, `ioreg -l`), as
/// people paste it into bug reports: whole, or cut off by a chat window.
///
/// Lines may carry the tree prefix (`  | `). With object headers (`+-o Name  <class Name, …>`) the
/// entry is the first object of class AppleSmartBattery; without any header, every property line
/// (`"Key" = value`) belongs to it. Values: "text", integers (unsigned 64-bit above INT64_MAX),
/// numbers with a fraction or exponent as doubles, Yes/No, {"A"=1,"B"=(1,2)} tables and (…) lists;
/// <data>, an empty value and any other bare word are present but unreadable. A repeated key keeps
/// its first value. A line that ends inside a value keeps the complete members of the tables and
/// lists it opened and drops the cut-off scalar, with one note per such item.
class RegistryTextReader {
public:
    /// Whether `text` holds an object header or a property line of the text form.
    static bool recognizes(std::string_view text);
    /// The entry, or an error when no property could be read at all.
    static RecordedTable read(std::string_view text);
};

} // namespace voltrane
