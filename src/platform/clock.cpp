#include "platform/clock.h"

#include <chrono>

namespace rg {

Tick tick_count() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<Tick>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace rg
