// The list loader takes any bytes without crashing or allocating past the input; whatever it
// keeps saves and loads again to the same list.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/list_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rg::DownloadList list;
    rg::parse_list(std::span<const std::uint8_t>(data, size), list);
    const std::string saved = rg::serialise_list(list);
    rg::DownloadList again;
    const auto status =
        rg::parse_list({reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size()}, again);
    if (status != rg::ListLoadStatus::Loaded || again.count() != list.count())
        std::abort();
    if (rg::serialise_list(again) != saved)
        std::abort();
    return 0;
}
