#pragma once

#include <optional>
#include <string>

namespace voltrane {

/// The one figure formatter of the program: printf's "%.*f" in the C locale for a finite value, and
/// "—" (U+2014) in place of the number for NaN or infinity, so "nan"/"inf" never reach a screen.
std::string formatFixed(double value, int decimals);

/// formatFixed followed by a blank and the unit, e.g. "12.3 W" or "— W".
std::string formatFixed(double value, int decimals, const char* unit);

/// The placeholder for a missing figure.
inline constexpr const char* kDash = "\u2014";

} // namespace voltrane
