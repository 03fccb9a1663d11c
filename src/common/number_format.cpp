#include "common/number_format.h"

#include <cmath>
#include <cstdio>

namespace voltrane {

std::string formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return kDash;
    }
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (length < 0) {
        return kDash;
    }
    if (static_cast<std::size_t>(length) < sizeof buffer) {
        return std::string(buffer, static_cast<std::size_t>(length));
    }
    // Very large magnitudes print more digits than the stack buffer holds.
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string formatFixed(double value, int decimals, const char* unit) {
    std::string text = formatFixed(value, decimals);
    text += ' ';
    text += unit;
    return text;
}

} // namespace voltrane
