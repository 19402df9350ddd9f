#pragma once

#include <cstddef>

namespace rg {

// What the credential dialogs read of their edits.
inline constexpr std::size_t kDialogServerMax = 1023;
inline constexpr std::size_t kDialogCredentialMax = 79;

}  // namespace rg
