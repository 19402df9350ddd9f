// The extension reader takes any bytes without crashing or allocating past the input; every record
// it accepts writes and reads again to the same record. Each input is read twice: as it is, and
// with its checksums made to agree, so that mutations reach the checks behind them.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "engine/crc32.h"
#include "engine/list_extension.h"

namespace {

constexpr std::size_t kHeaderBody = 20;  // magic, version, count, section length
constexpr std::size_t kU32 = 4;
constexpr std::size_t kRecordFrame = 8;  // a record's length and checksum

std::uint32_t get_u32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < kU32; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + i])) << (8 * i);
    return v;
}

void put_u32(std::string& s, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < kU32; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

std::uint32_t crc_of(const std::string& s, std::size_t at, std::size_t size) {
    return rg::crc32({reinterpret_cast<const std::uint8_t*>(s.data()) + at, size});
}

// The header's checksum, the table's and each record's (where the table places them) recomputed.
std::string resealed(std::string s) {
    if (s.size() < kHeaderBody + kU32)
        return s;
    put_u32(s, kHeaderBody, crc_of(s, 0, kHeaderBody));
    const std::size_t count = get_u32(s, 12);
    const std::size_t table = kHeaderBody + kU32;
    if (count + 1 > (s.size() - table) / kU32)
        return s;
    std::size_t at = table + (count + 1) * kU32;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = get_u32(s, table + i * kU32);
        if (length < kRecordFrame || length > s.size() - at)
            break;
        put_u32(s, at, static_cast<std::uint32_t>(length));
        put_u32(s, at + kU32, crc_of(s, at + kRecordFrame, length - kRecordFrame));
        at += length;
    }
    put_u32(s, table + count * kU32, crc_of(s, table, count * kU32));
    return s;
}

void check(const std::string& input) {
    const auto found = rg::decode_list_extension(
        {reinterpret_cast<const std::uint8_t*>(input.data()), input.size()});
    const auto written = rg::encode_list_extension(found);
    if (!written)
        std::abort();
    const auto again = rg::decode_list_extension(
        {reinterpret_cast<const std::uint8_t*>(written->data()), written->size()});
    if (again != found)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    check(input);
    check(resealed(input));
    return 0;
}
