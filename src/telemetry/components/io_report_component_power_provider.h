#pragma once

#include "telemetry/components/component_power_snapshot.h"
#include "telemetry/components/energy_report_library.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace voltrane {

/// Turns an energy-reporting library's counters into average watts per component. Subscribes once
/// (to the "Energy Model" group and the display's "DCP"/"display stats" channels) when created;
/// each readSnapshot() takes one sample, forms the delta against the previous one and converts
/// it. Whatever cannot be read becomes an absent figure or the unavailable snapshot.
class IOReportComponentPowerProvider final : public ComponentPowerProviding {
public:
    /// Seconds since boot on a monotonic clock.
    using Uptime = std::function<double()>;
    using Clock = std::function<Date()>;

    /// Loads the library and subscribes; never fails (a failure leaves the provider unusable).
    IOReportComponentPowerProvider(std::unique_ptr<EnergyReportLibrary> library, Uptime uptime, Clock clock);
    ~IOReportComponentPowerProvider() override;

    IOReportComponentPowerProvider(const IOReportComponentPowerProvider&) = delete;
    IOReportComponentPowerProvider& operator=(const IOReportComponentPowerProvider&) = delete;

    ComponentPowerSnapshot readSnapshot() override;

    /// Calls closer together than this form no delta (the baseline still moves).
    static constexpr double minimumInterval = 0.1;

    /// Watts per component from one delta over `interval` seconds.
    static ComponentPowerSnapshot snapshot(EnergyReportLibrary::Object delta, double interval, Date sampledAt,
                                           EnergyReportLibrary& api);
    /// Average watts of `energy` counted in `unit` ("mJ", "uJ", "µJ", "nJ", blanks around it
    /// ignored) over `interval` seconds; nothing for another unit or an interval not above 0;
    /// never negative.
    static std::optional<double> watts(std::int64_t energy, std::string_view unit, double interval);

private:
    /// An owned library object, given back exactly once.
    class Owned {
    public:
        Owned() = default;
        Owned(EnergyReportLibrary* library, EnergyReportLibrary::Object object)
            : library_(library), object_(object) {}
        Owned(Owned&& other) noexcept : library_(other.library_), object_(other.object_) {
            other.object_ = nullptr;
        }
        Owned& operator=(Owned&& other) noexcept;
        Owned(const Owned&) = delete;
        Owned& operator=(const Owned&) = delete;
        ~Owned() { reset(); }

        EnergyReportLibrary::Object get() const { return object_; }
        explicit operator bool() const { return object_ != nullptr; }
        void reset();

    private:
        EnergyReportLibrary* library_ = nullptr;
        EnergyReportLibrary::Object object_ = nullptr;
    };

    static bool loadAPI(EnergyReportLibrary& library);
    void subscribe();

    std::unique_ptr<EnergyReportLibrary> library_;
    Uptime uptime_;
    Clock clock_;

    bool libraryHandle_ = false;         // open, to be closed on destruction
    EnergyReportLibrary* api_ = nullptr; // set once all ten functions resolved
    Owned subscription_;
    Owned subscribedChannels_;
    Owned previousSample_;
    std::optional<double> previousUptime_;
};

} // namespace voltrane
