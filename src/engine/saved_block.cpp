#include "engine/saved_block.h"

#include <cstring>

namespace rg {

namespace {

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
    put_text(p, offsetof(SavedBlock, url), block.url);
    put_text(p, offsetof(SavedBlock, local_path), block.local_path);
    put_text(p, offsetof(SavedBlock, user_name), block.user_name);
    put_text(p, offsetof(SavedBlock, password), block.password);
    put_i32(p + offsetof(SavedBlock, resumable), block.resumable);
    put_i32(p + offsetof(SavedBlock, total_size), block.total_size);
    put_i32(p + offsetof(SavedBlock, open_when_done), block.open_when_done);
    put_i32(p + offsetof(SavedBlock, range_count), block.range_count);
    put_i32(p + offsetof(SavedBlock, downloaded), block.downloaded);
    put_i32(p + offsetof(SavedBlock, scheduled), block.scheduled);
    put_i32(p + offsetof(SavedBlock, resume_count), block.resume_count);
}

SavedBlock decode_saved_block(ConstSavedBlockBytes in) {
    const std::uint8_t* p = in.data();
    SavedBlock block;
    get_text(p, offsetof(SavedBlock, url), block.url);
    get_text(p, offsetof(SavedBlock, local_path), block.local_path);
    get_text(p, offsetof(SavedBlock, user_name), block.user_name);
    get_text(p, offsetof(SavedBlock, password), block.password);
    block.resumable = get_i32(p + offsetof(SavedBlock, resumable));
    block.total_size = get_i32(p + offsetof(SavedBlock, total_size));
    block.open_when_done = get_i32(p + offsetof(SavedBlock, open_when_done));
    block.range_count = get_i32(p + offsetof(SavedBlock, range_count));
    block.downloaded = get_i32(p + offsetof(SavedBlock, downloaded));
    block.scheduled = get_i32(p + offsetof(SavedBlock, scheduled));
    block.resume_count = get_i32(p + offsetof(SavedBlock, resume_count));
    return block;
}

}  // namespace rg
