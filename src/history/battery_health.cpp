#include "history/battery_health.h"

#include "common/number_format.h"

#include <algorithm>
#include <cmath>

namespace voltrane {
namespace {

const HealthPoint* latestWithPercent(const std::vector<HealthPoint>& points) {
    const auto found = std::find_if(points.rbegin(), points.rend(), [](const HealthPoint& point) {
        return point.percentOfDesign.has_value();
    });
    return found == points.rend() ? nullptr : &*found;
}

} // namespace

std::vector<HealthPoint> healthPoints(const std::vector<BatteryHealthRecord>& records) {
    std::vector<HealthPoint> points;
    points.reserve(records.size());
    for (const BatteryHealthRecord& record : records) {
        HealthPoint point{record.recordedAt, std::nullopt, std::nullopt};
        const auto& full = record.fullChargeCapacity;
        const auto& design = record.designCapacity;
        if (full && design && std::isfinite(*full) && std::isfinite(*design) && *full >= 0 && *design > 0) {
            point.percentOfDesign = *full / *design * 100;
        }
        if (record.cycleCount && *record.cycleCount > 0) {
            point.cycleCount = record.cycleCount;
        }
        points.push_back(point);
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const HealthPoint& a, const HealthPoint& b) { return a.at < b.at; });
    return points;
}

std::string healthSentence(const std::vector<HealthPoint>& points) {
    if (points.empty()) {
        return "还没有电池健康记录。Voltrane 每天记下一次电池容量，过几天就能看到变化。";
    }
    const HealthPoint* latest = latestWithPercent(points);
    if (latest == nullptr) {
        return "这块电池没有报告它的容量，无法估算健康程度。";
    }
    const double percent = *latest->percentOfDesign;
    const std::string figure = formatFixed(std::min(percent, 100.0), 0) + "%";
    std::string sentence;
    if (percent >= 95) {
        sentence = "电池状态很好：满电容量还有出厂时的 " + figure + "，续航和新电池几乎一样。";
    } else if (percent >= 80) {
        sentence =
            "电池有正常损耗：满电容量是出厂时的 " + figure + "，充满一次的续航约为新电池的 " + figure + "。";
    } else {
        sentence = "电池已明显老化：满电容量只剩出厂时的 " + figure + "，续航明显变短，可以考虑更换电池。";
    }
    const HealthPoint* first = &*std::find_if(points.begin(), points.end(), [](const HealthPoint& point) {
        return point.percentOfDesign.has_value();
    });
    const double drop = *first->percentOfDesign - percent;
    if (first != latest && drop >= 1) {
        sentence += "这段时间下降了 " + formatFixed(drop, 0) + " 个百分点。";
    }
    if (latest->cycleCount) {
        sentence += "已充放电循环 " + std::to_string(*latest->cycleCount) + " 次。";
    }
    return sentence;
}

std::string healthFigureText(const std::vector<HealthPoint>& points) {
    const HealthPoint* latest = latestWithPercent(points);
    return latest == nullptr ? std::string(kDash) : formatFixed(*latest->percentOfDesign, 0) + "%";
}

} // namespace voltrane
