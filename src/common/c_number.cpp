#include "common/c_number.h"

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace voltrane {

std::optional<double> parseCNumber(std::string_view text) {
    // strtod follows the process locale (a decimal comma in some, and Qt sets the user's at
    // start-up); recorded and registry texts are always C-locale.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) {
        return std::nullopt;
    }
    const std::string terminated(text);
    char* end = nullptr;
    const double value = strtod_l(terminated.c_str(), &end, cLocale);
    if (end != terminated.c_str() + terminated.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parseNonFiniteWord(std::string_view text) {
    if (text == "nan" || text == "-nan") {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (text == "inf" || text == "-inf") {
        return text.front() == '-' ? -std::numeric_limits<double>::infinity()
                                   : std::numeric_limits<double>::infinity();
    }
    return std::nullopt;
}

bool isJsonNumber(std::string_view text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    if (i < text.size() && text[i] == '0') {
        ++i;
    } else if (digits() == 0) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (digits() == 0) {
            return false;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (digits() == 0) {
            return false;
        }
    }
    return i == text.size();
}

} // namespace voltrane
