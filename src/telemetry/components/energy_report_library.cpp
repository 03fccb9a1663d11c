#include "telemetry/components/energy_report_library.h"

namespace voltrane {

std::string_view symbolName(EnergyReportSymbol symbol) {
    switch (symbol) {
    case EnergyReportSymbol::copyChannelsInGroup:
        return "IOReportCopyChannelsInGroup";
    case EnergyReportSymbol::mergeChannels:
        return "IOReportMergeChannels";
    case EnergyReportSymbol::createSubscription:
        return "IOReportCreateSubscription";
    case EnergyReportSymbol::createSamples:
        return "IOReportCreateSamples";
    case EnergyReportSymbol::createSamplesDelta:
        return "IOReportCreateSamplesDelta";
    case EnergyReportSymbol::simpleGetIntegerValue:
        return "IOReportSimpleGetIntegerValue";
    case EnergyReportSymbol::channelGetName:
        return "IOReportChannelGetChannelName";
    case EnergyReportSymbol::channelGetGroup:
        return "IOReportChannelGetGroup";
    case EnergyReportSymbol::channelGetSubgroup:
        return "IOReportChannelGetSubGroup";
    case EnergyReportSymbol::channelGetUnitLabel:
        return "IOReportChannelGetUnitLabel";
    }
    return {};
}

} // namespace voltrane
