#include "common/number_format.h"

#include <charconv>
#include <cmath>

namespace voltrane {

std::string formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return kDash;
    }
    // to_chars ignores the process locale (Qt sets the user's at start-up, and printf would then
    // write "12,0") and rounds the exact binary value as glibc's printf does.
    const int precision = decimals < 0 ? 6 : decimals; // printf's reading of a negative precision
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (error == std::errc()) {
        return std::string(buffer, end);
    }
    // Large magnitudes or precisions: 1e300 alone has 301 integer digits.
    std::string text(sizeof buffer, '\0');
    for (;;) {
        text.resize(text.size() * 4);
        const auto [longEnd, longError] =
            std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, precision);
        if (longError == std::errc()) {
            text.resize(static_cast<std::size_t>(longEnd - text.data()));
            return text;
        }
    }
}

std::string formatFixed(double value, int decimals, const char* unit) {
    std::string text = formatFixed(value, decimals);
    text += ' ';
    text += unit;
    return text;
}

} // namespace voltrane
