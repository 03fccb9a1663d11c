#include "flow/sankey_destination.h"

namespace voltrane {

const char* rawValue(SankeyDestination::ID id) {
    switch (id) {
    case SankeyDestination::ID::battery:
        return "battery";
    case SankeyDestination::ID::cpu:
        return "cpu";
    case SankeyDestination::ID::gpu:
        return "gpu";
    case SankeyDestination::ID::ane:
        return "ane";
    case SankeyDestination::ID::memory:
        return "memory";
    case SankeyDestination::ID::display:
        return "display";
    case SankeyDestination::ID::ports:
        return "ports";
    case SankeyDestination::ID::other:
        return "other";
    }
    return "other";
}

const char* caseName(SankeyDestination::State state) {
    switch (state) {
    case SankeyDestination::State::measured:
        return "measured";
    case SankeyDestination::State::estimated:
        return "estimated";
    case SankeyDestination::State::remainder:
        return "remainder";
    case SankeyDestination::State::idle:
        return "idle";
    case SankeyDestination::State::unavailable:
        return "unavailable";
    }
    return "unavailable";
}

} // namespace voltrane
