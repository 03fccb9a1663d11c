#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace voltrane {

/// `text` as a whole as a C-locale floating-point number (strtod's grammar: "1.5", "-2e3", "inf",
/// "0x1p4"); absent for leading blanks or anything left over. Out-of-range figures give ±inf or a
/// denormal, as strtod does.
std::optional<double> parseCNumber(std::string_view text);

/// The words our JSON uses for non-finite doubles: "nan" (also "-nan"), "inf" and "-inf".
std::optional<double> parseNonFiniteWord(std::string_view text);

/// Whether `text` is wholly a number in JSON's grammar: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::string_view text);

/// `text` as a whole as a decimal integer of type `Integer`; absent when anything is left over or
/// the figure does not fit.
template <typename Integer> std::optional<Integer> parseWholeInteger(std::string_view text) {
    Integer value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace voltrane
