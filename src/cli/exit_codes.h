#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace rg {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// Tells what was wrong with the command line; the exit code for it.
inline int usage_error(std::string_view what) {
    std::fprintf(stderr, "rlg: %s\nTry 'rlg --help'.\n", std::string(what).c_str());
    return kExitUsage;
}

}  // namespace rg
