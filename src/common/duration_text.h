#pragma once

#include <string>
#include <string_view>

namespace voltrane {

/// The remaining time on battery for `minutes` ≥ 1: "预计续航 N 分钟" below an hour,
/// "预计续航 H 小时" on the hour, else `mixedPrefix` followed by " H 小时 M 分" (the flow's card
/// says "预计", the charge tile "预计续航").
std::string remainingTimeText(int minutes, std::string_view mixedPrefix);

} // namespace voltrane
