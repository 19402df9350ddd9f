#pragma once

#include <cstdint>

namespace rg {

// Milliseconds of a monotonic clock, wrapping at 2^32 like the tick counts the engine compares
// with unsigned subtraction.
using Tick = std::uint32_t;

Tick tick_count();

}  // namespace rg
