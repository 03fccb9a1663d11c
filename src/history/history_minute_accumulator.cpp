#include "history/history_minute_accumulator.h"

#include <algorithm>
#include <cmath>

namespace voltrane {

namespace {

using Seconds = std::chrono::duration<double>;

double secondsBetween(Date from, Date to) {
    return std::chrono::duration_cast<Seconds>(to - from).count();
}

std::optional<double> finite(std::optional<double> value) {
    return value && std::isfinite(*value) ? value : std::nullopt;
}

double positive(std::optional<double> value) {
    return value ? std::max(*value, 0.0) : 0.0;
}

/// On battery the decoder's input figure is the system's own draw: no adapter feeds it then.
std::optional<double> adapterInput(const PowerSnapshot& snapshot) {
    return snapshot.state == PowerState::onBattery ? std::nullopt : finite(snapshot.inputWatts);
}

} // namespace

void HistoryMinuteAccumulator::Figure::add(std::optional<double> value) {
    value = finite(value);
    if (!value) {
        return;
    }
    min = count == 0 ? *value : std::min(min, *value);
    max = count == 0 ? *value : std::max(max, *value);
    sum += *value;
    ++count;
}

std::optional<FigureSummary> HistoryMinuteAccumulator::Figure::summary() const {
    if (count == 0) {
        return std::nullopt;
    }
    return FigureSummary{sum / count, min, max};
}

void HistoryMinuteAccumulator::Mean::add(std::optional<double> value) {
    value = finite(value);
    if (value) {
        sum += *value;
        ++count;
    }
}

std::optional<double> HistoryMinuteAccumulator::Mean::mean() const {
    return count == 0 ? std::nullopt : std::optional<double>(sum / count);
}

std::optional<HistoryRow> HistoryMinuteAccumulator::add(const PowerSnapshot& snapshot, Date at) {
    const bool readAnything = snapshot.state != PowerState::unavailable || snapshot.headlineWatts() ||
                              snapshot.systemWatts || snapshot.inputWatts || snapshot.batteryWatts ||
                              snapshot.chargePercent || snapshot.portOutputWatts;
    if (!readAnything) {
        return std::nullopt; // a failed read is silence, not a minute of zeros
    }
    const Date minute = std::chrono::floor<std::chrono::minutes>(at);
    double span = std::chrono::duration_cast<Seconds>(firstReadingSpan).count();
    if (lastReadingAt_ && at > *lastReadingAt_) {
        span = std::min(secondsBetween(*lastReadingAt_, at), Seconds(longestReadingSpan).count());
    } else if (lastReadingAt_) {
        span = 0; // the clock went back: this reading stands for no time at all
    }
    const double inThisMinute = std::min(span, secondsBetween(minute, at));
    // The time before the boundary, when the open minute is the one just before, is its own.
    if (minuteStart_ && samples_ > 0 && *minuteStart_ + std::chrono::minutes(1) == minute) {
        integrate(snapshot, span - inThisMinute);
    }
    auto closed = enter(at);
    lastReadingAt_ = at;
    ++samples_;
    integrate(snapshot, inThisMinute);
    const auto state = static_cast<std::size_t>(snapshot.state);
    ++stateCounts_[state];
    headline_.add(snapshot.headlineWatts());
    system_.add(snapshot.systemWatts);
    input_.add(adapterInput(snapshot));
    battery_.add(snapshot.batteryWatts);
    portOutput_.add(snapshot.portOutputWatts);
    if (snapshot.chargePercent) {
        charge_ = snapshot.chargePercent;
    }
    return closed;
}

std::optional<HistoryRow> HistoryMinuteAccumulator::add(const ComponentPowerSnapshot& components, Date at) {
    auto closed = enter(at);
    cpu_.add(components.cpuWatts);
    gpu_.add(components.gpuWatts);
    ane_.add(components.aneWatts);
    dram_.add(components.dramWatts);
    display_.add(components.displayWatts);
    return closed;
}

std::optional<HistoryRow> HistoryMinuteAccumulator::flush() {
    if (!minuteStart_ || samples_ == 0) {
        return std::nullopt;
    }
    HistoryRow row;
    row.start = *minuteStart_;
    row.resolution = HistoryResolution::minute;
    row.sampleCount = samples_;
    row.coveredSeconds = std::min(covered_, 60.0);
    row.onBatterySeconds = std::min(onBattery_, row.coveredSeconds);
    row.headlineWatts = headline_.summary();
    row.systemWatts = system_.summary();
    row.inputWatts = input_.summary();
    row.batteryWatts = battery_.summary();
    row.adapterEnergyWh = adapterWh_;
    row.batteryChargedWh = chargedWh_;
    row.batteryDischargedWh = dischargedWh_;
    row.systemEnergyWh = systemWh_;
    row.chargePercent = charge_;
    std::size_t longest = static_cast<std::size_t>(PowerState::unavailable);
    for (std::size_t state = 0; state < kStates; ++state) {
        const auto key = [this](std::size_t s) { return std::pair(stateSeconds_[s], stateCounts_[s]); };
        if (key(state) > key(longest)) {
            longest = state;
        }
    }
    row.state = static_cast<PowerState>(longest);
    row.cpuWatts = cpu_.mean();
    row.gpuWatts = gpu_.mean();
    row.aneWatts = ane_.mean();
    row.dramWatts = dram_.mean();
    row.displayWatts = display_.mean();
    row.portOutputWatts = portOutput_.mean();
    reset(*minuteStart_);
    return row;
}

std::optional<HistoryRow> HistoryMinuteAccumulator::enter(Date at) {
    const Date minute = std::chrono::floor<std::chrono::minutes>(at);
    if (minuteStart_ == minute) {
        return std::nullopt;
    }
    auto closed = flush();
    reset(minute);
    return closed;
}

void HistoryMinuteAccumulator::integrate(const PowerSnapshot& snapshot, double seconds) {
    if (seconds <= 0) {
        return;
    }
    const double hours = seconds / 3600;
    covered_ += seconds;
    stateSeconds_[static_cast<std::size_t>(snapshot.state)] += seconds;
    if (snapshot.state == PowerState::onBattery) {
        onBattery_ += seconds;
    }
    adapterWh_ += positive(adapterInput(snapshot)) * hours;
    systemWh_ += positive(finite(snapshot.systemWatts)) * hours;
    const auto battery = finite(snapshot.batteryWatts);
    chargedWh_ += positive(battery) * hours;
    dischargedWh_ += positive(battery ? std::optional<double>(-*battery) : std::nullopt) * hours;
}

void HistoryMinuteAccumulator::reset(Date minuteStart) {
    const auto lastReading = lastReadingAt_;
    *this = HistoryMinuteAccumulator();
    minuteStart_ = minuteStart;
    lastReadingAt_ = lastReading;
}

} // namespace voltrane
