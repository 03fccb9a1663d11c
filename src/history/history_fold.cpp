#include "history/history_fold.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

namespace voltrane {

namespace {

double finiteOr0(double value) {
    return std::isfinite(value) ? value : 0;
}

class Weighted {
public:
    void add(const std::optional<double>& value, double weight) {
        if (value && std::isfinite(*value)) {
            // A row holding no reading still counts, lightly, so that a fold of such rows has a mean.
            weight = std::max(weight, 1e-6);
            sum_ += *value * weight;
            weight_ += weight;
        }
    }
    std::optional<double> mean() const {
        return weight_ > 0 ? std::optional<double>(sum_ / weight_) : std::nullopt;
    }

private:
    double sum_ = 0;
    double weight_ = 0;
};

struct Summary {
    Weighted mean;
    std::optional<FigureSummary> range;
    void add(const std::optional<FigureSummary>& figure, double weight) {
        if (!figure || !std::isfinite(figure->mean)) {
            return;
        }
        mean.add(figure->mean, weight);
        if (!range) {
            range = *figure;
        }
        range->min = std::min(range->min, figure->min);
        range->max = std::max(range->max, figure->max);
    }
    std::optional<FigureSummary> result() const {
        if (!range) {
            return std::nullopt;
        }
        return FigureSummary{*mean.mean(), range->min, range->max};
    }
};

struct Hour {
    HistoryRow row;
    Summary headline, system, input, battery;
    Weighted cpu, gpu, ane, dram, display, portOutput;
    std::array<double, 5> stateSeconds{};

    void add(const HistoryRow& minute) {
        const double weight = minute.sampleCount;
        row.sampleCount += minute.sampleCount;
        row.coveredSeconds += std::max(0.0, finiteOr0(minute.coveredSeconds));
        row.onBatterySeconds += std::max(0.0, finiteOr0(minute.onBatterySeconds));
        row.adapterEnergyWh += finiteOr0(minute.adapterEnergyWh);
        row.batteryChargedWh += finiteOr0(minute.batteryChargedWh);
        row.batteryDischargedWh += finiteOr0(minute.batteryDischargedWh);
        row.systemEnergyWh += finiteOr0(minute.systemEnergyWh);
        if (minute.chargePercent) {
            row.chargePercent = minute.chargePercent;
        }
        // A row's state stands for the whole row; ties go to the earlier state.
        stateSeconds[static_cast<std::size_t>(minute.state)] += std::max(minute.coveredSeconds, 1e-9);
        headline.add(minute.headlineWatts, weight);
        system.add(minute.systemWatts, weight);
        input.add(minute.inputWatts, weight);
        battery.add(minute.batteryWatts, weight);
        cpu.add(minute.cpuWatts, weight);
        gpu.add(minute.gpuWatts, weight);
        ane.add(minute.aneWatts, weight);
        dram.add(minute.dramWatts, weight);
        display.add(minute.displayWatts, weight);
        portOutput.add(minute.portOutputWatts, weight);
    }

    HistoryRow result() {
        // Rows from a file written by hand or by a clock gone wrong may claim more than the hour.
        row.coveredSeconds = std::min(row.coveredSeconds, 3600.0);
        row.onBatterySeconds = std::min(row.onBatterySeconds, row.coveredSeconds);
        row.headlineWatts = headline.result();
        row.systemWatts = system.result();
        row.inputWatts = input.result();
        row.batteryWatts = battery.result();
        row.cpuWatts = cpu.mean();
        row.gpuWatts = gpu.mean();
        row.aneWatts = ane.mean();
        row.dramWatts = dram.mean();
        row.displayWatts = display.mean();
        row.portOutputWatts = portOutput.mean();
        const auto longest = std::max_element(stateSeconds.begin(), stateSeconds.end());
        row.state = static_cast<PowerState>(longest - stateSeconds.begin());
        return row;
    }
};

} // namespace

std::vector<HistoryRow> foldIntoHours(std::vector<HistoryRow> minutes) {
    std::stable_sort(minutes.begin(), minutes.end(),
                     [](const HistoryRow& a, const HistoryRow& b) { return a.start < b.start; });
    std::vector<HistoryRow> hours;
    std::optional<Hour> open;
    for (const HistoryRow& minute : minutes) {
        const Date hourStart = std::chrono::floor<std::chrono::hours>(minute.start);
        if (open && open->row.start != hourStart) {
            hours.push_back(open->result());
            open.reset();
        }
        if (!open) {
            open.emplace();
            open->row.start = hourStart;
            open->row.resolution = HistoryResolution::hour;
        }
        open->add(minute);
    }
    if (open) {
        hours.push_back(open->result());
    }
    return hours;
}

} // namespace voltrane
