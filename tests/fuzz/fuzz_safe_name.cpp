// Whatever a server offers as a file name, what comes out is one plain name in the folder.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/safe_name.h"
#include "intake/file_naming.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const auto& name :
         {rg::safe_file_name(input), std::optional(rg::proposed_file_name(input))}) {
        if (!name)
            continue;
        if (name->empty() || name->size() > rg::kSafeNameMaxBytes)
            std::abort();
        if (name->find('/') != std::string::npos || name->find('\\') != std::string::npos) {
            std::abort();
        }
        if ((*name)[0] == '.' || (*name)[0] == ' ')
            std::abort();
        for (unsigned char c : *name) {
            if (c < 0x20 || c == 0x7f)
                std::abort();
        }
        // Cleaning is stable: a clean name stays as it is.
        if (rg::safe_file_name(*name) != name)
            std::abort();
    }
    return 0;
}
