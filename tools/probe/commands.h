#pragma once

#include "json_value.h"

#include <string>
#include <vector>

namespace voltrane::probe {

/// Each command gets the arguments after its name and returns the exit status:
/// 0 on success, 2 after printing one line to stderr on bad input.
using Arguments = std::vector<std::string>;

/// Prints "voltrane-probe: <message>" on stderr and returns 2.
int fail(const std::string& message);

/// No argument: one read of the live sources, {"table": …, "snapshot": …, "components": …}.
int liveCommand(const Arguments& arguments);
/// The live line once a second until SIGINT or SIGTERM.
int watchCommand(const Arguments& arguments);
/// decode FILE: a recorded table (typed JSON or XML plist) as a snapshot.
int decodeCommand(const Arguments& arguments);

/// The live component sample, or null where none is read.
JsonValue readLiveComponents();

} // namespace voltrane::probe
