#pragma once

namespace rg {

// The name of the tool that carries the Montage's commands, beside rlg.
inline constexpr const char* kMontageToolName = "rlg-montage";

// Replaces this process with the Montage tool beside the running program, with the same
// arguments. Returns only when that fails (after saying why): the exit status to use.
int hand_to_montage_tool(char** argv);

}  // namespace rg
