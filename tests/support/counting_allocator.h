#pragma once

#include <cstdint>

namespace voltrane::testing {

// Compiling counting_allocator.cpp into an executable (as a source, not through a library, so
// the linker keeps it) replaces the global operator new/delete there with counting ones.

/// Allocations made through operator new so far.
std::uint64_t allocationCount();
/// Bytes currently held through operator new (usable sizes).
std::int64_t liveHeapBytes();

} // namespace voltrane::testing
