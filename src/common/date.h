#pragma once

#include <chrono>

namespace voltrane {

/// An absolute wall-clock instant. Compared exactly; the core never reads a clock itself.
using Date = std::chrono::system_clock::time_point;

} // namespace voltrane
