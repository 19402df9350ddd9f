// A second start's message, as any local process could send it to the running window.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/activation_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto decoded = rg::decode_activation(input);
    if (!decoded)
        return 0;
    if (decoded->urls.size() > rg::kActivationUrlsMax)
        std::abort();
    // What was read is written back the same and reads the same again.
    const auto again = rg::decode_activation(rg::encode_activation(*decoded));
    if (!again || again->token != decoded->token || again->urls != decoded->urls)
        std::abort();
    return 0;
}
