#pragma once

#include <string>
#include <vector>

namespace voltrane::probe {

/// Each command gets the arguments after its name and returns the exit status:
/// 0 on success, 2 after printing one line to stderr on bad input.
using Arguments = std::vector<std::string>;

/// Prints "voltrane-probe: <message>" on stderr and returns 2.
int fail(const std::string& message);

/// voltrane-probe flow FILE: the flow model, its stable layout and (given a size) its metrics.
int flowCommand(const Arguments& arguments);
/// `texts FILE`: every text the tray label, tiles, pill and status card show for a snapshot.
int textsCommand(const Arguments& arguments);
/// `render FILE --out PNG [--compact] [--info]`: the whole 560 × 750 dashboard for a sample,
/// offscreen, optionally with the data-explanation popover open.
int renderCommand(const Arguments& arguments);

} // namespace voltrane::probe
