#include "common/duration_text.h"

namespace voltrane {

std::string remainingTimeText(int minutes, std::string_view mixedPrefix) {
    if (minutes < 60) {
        return "预计续航 " + std::to_string(minutes) + " 分钟";
    }
    const int hours = minutes / 60;
    const int rest = minutes % 60;
    if (rest == 0) {
        return "预计续航 " + std::to_string(hours) + " 小时";
    }
    return std::string(mixedPrefix) + " " + std::to_string(hours) + " 小时 " + std::to_string(rest) + " 分";
}

} // namespace voltrane
