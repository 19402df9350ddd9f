#pragma once

#include <cstdint>

namespace rg {

enum class ItemState : std::int32_t {
    Running = 0,
    Stopped = 1,
    MontageHeld = 2,
    InfoHeld = 3,
};

}  // namespace rg
