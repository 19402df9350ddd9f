#include "protocols/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace rg {
namespace {

std::span<const unsigned char> bytes_of(const char* text) {
    return {reinterpret_cast<const unsigned char*>(text), std::strlen(text)};
}

TEST(Base64Encode, PadsFinalGroupsAndReportsLength) {
    char out[16];
    std::size_t len = 0;
    EXPECT_EQ(base64_encode(&len, bytes_of("A"), out, sizeof out), kBase64Ok);
    EXPECT_EQ(len, 4u);
    EXPECT_STREQ(out, "QQ==");
    EXPECT_EQ(base64_encode(&len, bytes_of("AB"), out, sizeof out), kBase64Ok);
    EXPECT_STREQ(out, "QUI=");
    EXPECT_EQ(base64_encode(&len, bytes_of("ABC"), out, sizeof out), kBase64Ok);
    EXPECT_STREQ(out, "QUJD");
    EXPECT_EQ(base64_encode(&len, bytes_of(""), out, sizeof out), kBase64Ok);
    EXPECT_EQ(len, 0u);
    EXPECT_STREQ(out, "");
}

TEST(Base64Encode, CapacityRules) {
    char out[8];
    std::memset(out, 'x', sizeof out);
    // Capacity equal to the encoded length: no terminator.
    EXPECT_EQ(base64_encode(nullptr, bytes_of("ABC"), out, 4), kBase64Ok);
    EXPECT_EQ(std::string(out, 5), "QUJDx");
    // One less: refused, nothing written.
    std::memset(out, 'x', sizeof out);
    std::size_t len = 0;
    EXPECT_EQ(base64_encode(&len, bytes_of("ABC"), out, 3), kBase64NoRoom);
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(std::string(out, 4), "xxxx");
}

TEST(Base64Encode, CredentialCapacityHolds87Bytes) {
    EXPECT_TRUE(base64_encode_text(std::string(87, 'u'), kCredentialCapacity + 1));
    char field[120];
    EXPECT_EQ(
        base64_encode(nullptr, bytes_of(std::string(87, 'u').c_str()), field, kCredentialCapacity),
        kBase64Ok);
    const std::string long_name(88, 'u');
    EXPECT_EQ(base64_encode(nullptr, bytes_of(long_name.c_str()), field, kCredentialCapacity),
              kBase64NoRoom);
}

TEST(Base64Decode, DecodesGroupsAndPadding) {
    std::vector<unsigned char> out(16);
    std::size_t n = 0;
    ASSERT_EQ(base64_decode(8, "QUJDRA==", out, &n), kBase64Ok);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "ABCD");
    EXPECT_EQ(out[4], 0);
    ASSERT_EQ(base64_decode(4, "QUI=", out, &n), kBase64Ok);
    EXPECT_EQ(n, 2u);
    // Only whole groups count: a trailing partial group is ignored.
    ASSERT_EQ(base64_decode(6, "QUJDRA", out, &n), kBase64Ok);
    EXPECT_EQ(n, 3u);
}

TEST(Base64Decode, SkipsPlusSpaceAndRejectsBadInput) {
    std::vector<unsigned char> out(16);
    std::size_t n = 0;
    ASSERT_EQ(base64_decode(6, "+ QUJD", out, &n), kBase64Ok);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(base64_decode(2, "+ ", out, &n), kBase64Invalid);
    EXPECT_EQ(base64_decode(0, "", out, &n), kBase64Invalid);
    // A bad character stops at once; the bytes before it stay written.
    ASSERT_EQ(base64_decode(8, "QUJD*UJD", out, &n), kBase64Invalid);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 3), "ABC");
    EXPECT_EQ(base64_decode(4, "Q===", out, &n), kBase64Invalid);
    EXPECT_EQ(base64_decode(4, "\xc3QUJ", out, &n), kBase64Invalid);
    // A count past the text reads its end as a bad character instead of past the buffer.
    EXPECT_EQ(base64_decode(8, "+ QUJDRA", out, &n), kBase64Invalid);
    // Too small an output is refused rather than overrun.
    std::vector<unsigned char> tiny(3);
    EXPECT_EQ(base64_decode(4, "QUJD", tiny, &n), kBase64Invalid);
}

TEST(Base64Decode, PaddingRulesAndOutputBounds) {
    std::vector<unsigned char> out(16);
    std::size_t n = 0;
    // A '=' third character ends the group after one byte, whatever the fourth is.
    ASSERT_EQ(base64_decode(8, "QQ=AQUJD", out, &n), kBase64Ok);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "AABC");
    // Padding is allowed in every group, not only the last.
    ASSERT_EQ(base64_decode(8, "QQ==QQ==", out, &n), kBase64Ok);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 2), "AA");
    EXPECT_EQ(base64_decode(4, "=QUJ", out, &n), kBase64Invalid);
    EXPECT_EQ(base64_decode(4, "QUJD", std::span<unsigned char>(out.data(), 0), &n),
              kBase64Invalid);
    // Room for three bytes and the terminator is exactly enough for one group.
    std::vector<unsigned char> exact(4, 0xee);
    ASSERT_EQ(base64_decode(4, "QUJD", exact, nullptr), kBase64Ok);
    EXPECT_EQ(exact[3], 0);
    // A count of zero decodes nothing but still succeeds on non-empty text.
    ASSERT_EQ(base64_decode(0, "QUJD", out, &n), kBase64Ok);
    EXPECT_EQ(n, 0u);
}

TEST(Base64Text, RoundTripsEveryByte) {
    std::string all;
    for (int i = 1; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    const auto enc = base64_encode_text(all, 4096);
    ASSERT_TRUE(enc);
    EXPECT_EQ(base64_decode_text(*enc), all);
    EXPECT_FALSE(base64_encode_text("abc", 4));  // needs 4 characters and the terminator
}

}  // namespace
}  // namespace rg
