#pragma once

#include "json_value.h"
#include "telemetry/components/component_power_snapshot.h"

#include <memory>
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
/// No argument: one read of the live sources, {"table": …, "snapshot": …, "components": …}.
int liveCommand(const Arguments& arguments);
/// The live line once a second until SIGINT or SIGTERM.
int watchCommand(const Arguments& arguments);
/// decode FILE: a recorded table (typed JSON, or the registry tool's XML plist or text form, whole
/// or cut off) as a snapshot; one line on stderr per item a cut-off recording lost.
int decodeCommand(const Arguments& arguments);

/// Reads the component energy counters twice, about a second apart, and returns the second
/// reading as a component snapshot (the first one when the counters cannot be read).
JsonValue readLiveComponents();

/// One component sampler kept across reads, so `watch` measures each line over the second
/// since the line before (its first line is the waiting form).
class LiveComponents {
public:
    LiveComponents();
    ~LiveComponents();
    JsonValue next();
    ComponentPowerProviding& provider() { return *provider_; }

private:
    std::unique_ptr<ComponentPowerProviding> provider_;
};
/// `texts FILE`: every text the tray label, tiles, pill and status card show for a snapshot.
int textsCommand(const Arguments& arguments);
/// `render FILE --out PNG [--compact] [--info]`: the whole 560 × 750 dashboard for a sample,
/// offscreen, optionally with the data-explanation popover open.
int renderCommand(const Arguments& arguments);
/// `history [--since SPAN] [--csv] [--health] [--file PATH]`: the recorded rows (or health
/// records), oldest first, as JSON lines or CSV with a header.
int historyCommand(const Arguments& arguments);

} // namespace voltrane::probe
