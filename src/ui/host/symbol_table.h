#pragma once

#include <span>
#include <string_view>

namespace voltrane {

/// One system symbol drawn with the Material Icons font.
struct SymbolEntry {
    std::string_view systemName; ///< the name the models carry, e.g. "battery.100percent.bolt"
    std::string_view ligature;   ///< the Material Icons ligature, e.g. "battery_charging_full"
    char16_t codepoint;          ///< the glyph's private-use code point in that font
    /// A character most text faces have, drawn when the icon font is missing.
    std::u16string_view fallback;
};

/// The mapping from every system-symbol name the program uses to its Material Icons glyph.
class SymbolTable {
public:
    SymbolTable() = delete;

    /// The entry for `systemName`, or nullptr for a name the program does not use.
    static const SymbolEntry* find(std::string_view systemName);

    static std::span<const SymbolEntry> entries();
};

} // namespace voltrane
