#include "cli/montage_handoff.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/exit_codes.h"
#include "platform/autostart.h"
#include "platform/data_dir.h"

namespace rg {

int hand_to_montage_tool(char** argv) {
    const auto self = current_executable_path();
    if (!self) {
        std::fprintf(stderr, "rlg: cannot find where rlg is installed to start %s\n",
                     kMontageToolName);
        return kExitFailure;
    }
    const std::string tool = folder_of(*self) + "/" + kMontageToolName;
    ::execv(tool.c_str(), argv);
    std::fprintf(stderr, "rlg: cannot start %s: %s\n", tool.c_str(), std::strerror(errno));
    return kExitFailure;
}

}  // namespace rg
