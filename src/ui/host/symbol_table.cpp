#include "ui/host/symbol_table.h"

#include <array>

namespace voltrane {

namespace {

// Code points from the font's own code-point table; ligatures are kept beside them so a
// text-shaping path and a direct-glyph path agree on the same glyph.
constexpr std::array kEntries{
    SymbolEntry{"arrow.clockwise", "refresh", 0xe5d5, u"\u21bb"},
    SymbolEntry{"arrow.down.right", "south_east", 0xf1e4, u"\u2198"},
    SymbolEntry{"arrow.triangle.branch", "call_split", 0xe0b6, u"\u2442"},
    SymbolEntry{"arrow.up.right", "north_east", 0xf1e1, u"\u2197"},
    SymbolEntry{"battery.100percent", "battery_full", 0xe1a4, u"\u25ae"},
    SymbolEntry{"battery.100percent.bolt", "battery_charging_full", 0xe1a3, u"\u26a1"},
    SymbolEntry{"battery.75percent", "battery_5_bar", 0xebd4, u"\u25ae"},
    SymbolEntry{"bolt.fill", "bolt", 0xea0b, u"\u26a1"},
    SymbolEntry{"bolt.horizontal.fill", "electric_bolt", 0xec1c, u"\u26a1"},
    SymbolEntry{"bolt.shield.fill", "gpp_good", 0xf013, u"\u26e8"},
    SymbolEntry{"bolt.slash", "flash_off", 0xe3e6, u"\u2300"},
    SymbolEntry{"brain.head.profile", "psychology", 0xea4a, u"\u25c9"},
    SymbolEntry{"cable.connector", "cable", 0xefe6, u"\u2301"},
    SymbolEntry{"clock.arrow.circlepath", "history", 0xe889, u"\u25f7"},
    SymbolEntry{"cpu", "memory", 0xe322, u"\u25a3"},
    SymbolEntry{"display", "desktop_windows", 0xe30c, u"\u25ad"},
    SymbolEntry{"ellipsis.circle", "pending", 0xef64, u"\u22ef"},
    SymbolEntry{"info.circle", "info_outline", 0xe88f, u"\u24d8"},
    SymbolEntry{"memorychip", "developer_board", 0xe30d, u"\u25a4"},
    SymbolEntry{"point.3.connected.trianglepath.dotted", "polyline", 0xebbb, u"\u2234"},
    SymbolEntry{"power", "power_settings_new", 0xe8ac, u"\u23fb"},
    SymbolEntry{"powerplug.fill", "power", 0xe63c, u"\u23da"},
    SymbolEntry{"questionmark.circle", "help_outline", 0xe8fd, u"?"},
    SymbolEntry{"sparkles.rectangle.stack", "auto_awesome_motion", 0xe661, u"\u2726"},
    SymbolEntry{"waveform.path.ecg", "monitor_heart", 0xeaa2, u"\u223f"},
};

} // namespace

const SymbolEntry* SymbolTable::find(std::string_view systemName) {
    for (const SymbolEntry& entry : kEntries) {
        if (entry.systemName == systemName) {
            return &entry;
        }
    }
    return nullptr;
}

std::span<const SymbolEntry> SymbolTable::entries() {
    return kEntries;
}

} // namespace voltrane
