#pragma once

#include <cstdint>

namespace rg {

// Messages from workers (and the Montage) to the controller thread.
enum class MessageId : std::uint32_t {
    RunEnded = 2776,           // a run ended with the item completed or cancelled
    MontageRestart = 2777,     // start this item: it was running when the Montage took it
    Refresh = 2778,            // refresh the command states
    CredentialsWanted = 2779,  // the server wants credentials; the worker waits for the answer
};

// The controller's timers and their periods in milliseconds.
enum class TimerId : int {
    Repaint = 1,
    SaveList = 3,
    AutoDownload = 4,
    Schedule = 5,
    ReceiveTimeout = 6,
};

inline constexpr std::uint32_t kRepaintPeriodMs = 700;
inline constexpr std::uint32_t kSaveListPeriodMs = 10000;
inline constexpr std::uint32_t kAutoDownloadPeriodMs = 1500;
inline constexpr std::uint32_t kSchedulePeriodMs = 500;
inline constexpr std::uint32_t kReceiveTimeoutPeriodMs = 1000;

}  // namespace rg
