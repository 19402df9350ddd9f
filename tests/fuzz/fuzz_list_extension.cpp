// The extension reader takes any bytes without crashing or allocating past the input; every record
// it accepts writes and reads again to the same record.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/list_extension.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto found = rg::decode_list_extension(std::span<const std::uint8_t>(data, size));
    const auto written = rg::encode_list_extension(found);
    if (!written)
        std::abort();
    const auto again = rg::decode_list_extension(
        {reinterpret_cast<const std::uint8_t*>(written->data()), written->size()});
    if (again != found)
        std::abort();
    return 0;
}
