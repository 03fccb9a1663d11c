#include "history/history_range.h"

#include <cmath>

namespace voltrane {
namespace {

using std::chrono::days;
using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

std::string twoDigits(long value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string clockText(Date local) {
    const auto sinceMidnight = std::chrono::floor<minutes>(local - std::chrono::floor<days>(local));
    const long total = static_cast<long>(sinceMidnight.count());
    return twoDigits(total / 60) + ":" + twoDigits(total % 60);
}

std::string dayText(Date local) {
    const std::chrono::year_month_day date{std::chrono::floor<days>(local)};
    return std::to_string(static_cast<unsigned>(date.month())) + "月" +
           std::to_string(static_cast<unsigned>(date.day())) + "日";
}

std::string monthText(const std::chrono::year_month& month) {
    std::string name = std::to_string(static_cast<unsigned>(month.month())) + "月";
    if (month.month() == std::chrono::January) {
        return std::to_string(static_cast<int>(month.year())) + "年" + name;
    }
    return name;
}

} // namespace

const std::array<HistoryRangeSpec, 5>& historyRanges() {
    // Minutes only while a row is still about a pixel wide: beyond a day, hours, which also
    // keep an arrow key's step worth taking.
    static const std::array<HistoryRangeSpec, 5> ranges{{
        {HistoryRange::hour, "1 小时", hours(1), HistoryResolution::minute, minutes(10)},
        {HistoryRange::day, "24 小时", hours(24), HistoryResolution::minute, minutes(180)},
        {HistoryRange::week, "7 天", days(7), HistoryResolution::hour, days(1)},
        {HistoryRange::month, "30 天", days(30), HistoryResolution::hour, days(5)},
        {HistoryRange::year, "1 年", days(365), HistoryResolution::hour, minutes(0)},
    }};
    return ranges;
}

const HistoryRangeSpec& rangeSpec(HistoryRange range) {
    return historyRanges()[static_cast<std::size_t>(range)];
}

seconds rowLength(HistoryResolution resolution) {
    return resolution == HistoryResolution::hour ? seconds(hours(1)) : seconds(minutes(1));
}

std::vector<AxisTick> timeTicks(HistoryRange range, Date from, Date to, seconds utcOffset) {
    std::vector<AxisTick> ticks;
    if (to < from) {
        return ticks;
    }
    const HistoryRangeSpec& chosen = rangeSpec(range);
    const Date localFrom = from + utcOffset;
    const Date localTo = to + utcOffset;
    if (chosen.tickSpacing.count() == 0) {
        auto month = std::chrono::year_month_day{std::chrono::floor<days>(localFrom)}.year() /
                     std::chrono::year_month_day{std::chrono::floor<days>(localFrom)}.month();
        for (;; month += std::chrono::months(1)) {
            const Date local = std::chrono::sys_days{month / 1};
            if (local > localTo) {
                break;
            }
            if (local >= localFrom) {
                ticks.push_back({local - utcOffset, monthText(month)});
            }
        }
        return ticks;
    }
    // Ticks sit on whole multiples of the spacing on the local clock, so "03:00" and "5日"
    // mean what they say.
    const auto step = std::chrono::duration_cast<seconds>(chosen.tickSpacing);
    const auto firstSteps = std::chrono::ceil<seconds>(localFrom.time_since_epoch()).count();
    auto at = (firstSteps / step.count() + (firstSteps % step.count() > 0 ? 1 : 0)) * step.count();
    for (; Date(seconds(at)) <= localTo; at += step.count()) {
        const Date local{seconds(at)};
        ticks.push_back({local - utcOffset, step < days(1) ? clockText(local) : dayText(local)});
    }
    return ticks;
}

WattAxis wattAxis(double maxWatts) {
    if (!std::isfinite(maxWatts) || maxWatts <= 5) {
        return {5, 1};
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(maxWatts / 5)));
    for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        const double step = factor * magnitude;
        if (step * 5 >= maxWatts) {
            return {std::ceil(maxWatts / step) * step, step};
        }
    }
    return {maxWatts, maxWatts / 5};
}

} // namespace voltrane
