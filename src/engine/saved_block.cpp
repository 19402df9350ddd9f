#include "engine/saved_block.h"

#include <cstring>
#include <limits>

namespace rg {

namespace {

// Where each field sits in the 5388-byte piece.
constexpr std::size_t kUrlAt = 0;
constexpr std::size_t kLocalPathAt = 4096;
constexpr std::size_t kUserNameAt = 5120;
constexpr std::size_t kPasswordAt = 5240;
constexpr std::size_t kResumableAt = 5360;
constexpr std::size_t kTotalSizeAt = 5364;
constexpr std::size_t kOpenWhenDoneAt = 5368;
constexpr std::size_t kRangeCountAt = 5372;
constexpr std::size_t kDownloadedAt = 5376;
constexpr std::size_t kScheduledAt = 5380;
constexpr std::size_t kResumeCountAt = 5384;
static_assert(kResumeCountAt + sizeof(std::int32_t) == kSavedBlockSize);
static_assert(kLocalPathAt == kUrlAt + SavedBlock::kUrlSize);
static_assert(kUserNameAt == kLocalPathAt + SavedBlock::kPathSize);
static_assert(kPasswordAt == kUserNameAt + SavedBlock::kCredentialSize);
static_assert(kResumableAt == kPasswordAt + SavedBlock::kCredentialSize);

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// A count as the 32-bit field holds it: one that does not fit is written as `unfit`.
std::int32_t fitted(std::int64_t value, std::int32_t unfit) {
    return value >= std::numeric_limits<std::int32_t>::min() && value <= kInt32Max
               ? static_cast<std::int32_t>(value)
               : unfit;
}

void put_i32(std::uint8_t* at, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
    at[2] = static_cast<std::uint8_t>(v >> 16);
    at[3] = static_cast<std::uint8_t>(v >> 24);
}

std::int32_t get_i32(const std::uint8_t* at) {
    const std::uint32_t v =
        static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
        (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
    return static_cast<std::int32_t>(v);
}

template <std::size_t N>
void put_text(std::uint8_t* base, std::size_t offset, const char (&field)[N]) {
    std::memcpy(base + offset, field, N);
}

template <std::size_t N>
void get_text(const std::uint8_t* base, std::size_t offset, char (&field)[N]) {
    std::memcpy(field, base + offset, N);
    field[N - 1] = '\0';
}

}  // namespace

void encode_saved_block(const SavedBlock& block, SavedBlockBytes out) {
    std::uint8_t* p = out.data();
    put_text(p, kUrlAt, block.url);
    put_text(p, kLocalPathAt, block.local_path);
    put_text(p, kUserNameAt, block.user_name);
    put_text(p, kPasswordAt, block.password);
    put_i32(p + kResumableAt, block.resumable);
    put_i32(p + kTotalSizeAt, fitted(block.total_size, 0));
    put_i32(p + kOpenWhenDoneAt, block.open_when_done);
    put_i32(p + kRangeCountAt, block.range_count);
    put_i32(p + kDownloadedAt, fitted(block.downloaded, static_cast<std::int32_t>(kInt32Max)));
    put_i32(p + kScheduledAt, block.scheduled);
    put_i32(p + kResumeCountAt, block.resume_count);
}

SavedBlock decode_saved_block(ConstSavedBlockBytes in) {
    const std::uint8_t* p = in.data();
    SavedBlock block;
    get_text(p, kUrlAt, block.url);
    get_text(p, kLocalPathAt, block.local_path);
    get_text(p, kUserNameAt, block.user_name);
    get_text(p, kPasswordAt, block.password);
    block.resumable = get_i32(p + kResumableAt);
    block.total_size = get_i32(p + kTotalSizeAt);
    block.open_when_done = get_i32(p + kOpenWhenDoneAt);
    block.range_count = get_i32(p + kRangeCountAt);
    block.downloaded = get_i32(p + kDownloadedAt);
    block.scheduled = get_i32(p + kScheduledAt);
    block.resume_count = get_i32(p + kResumeCountAt);
    return block;
}

}  // namespace rg
