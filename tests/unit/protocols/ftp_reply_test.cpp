#include "protocols/ftp_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rg {
namespace {

using namespace std::string_literals;
using State = FtpReplyReader::State;

struct Gathered {
    State state = State::kIncomplete;
    int code = 0;
    std::string line;
    std::string rest;
};

// Feeds `bytes` in pieces of `piece` bytes until the first reply ends.
Gathered gather(std::string_view bytes, std::size_t piece) {
    FtpReplyReader reader;
    Gathered g;
    while (!bytes.empty()) {
        std::string_view chunk = bytes.substr(0, piece);
        bytes.remove_prefix(chunk.size());
        g.state = reader.consume(chunk);
        if (g.state != State::kIncomplete) {
            g.rest = std::string(chunk) + std::string(bytes);
            break;
        }
        EXPECT_TRUE(chunk.empty());
    }
    g.code = reader.code();
    g.line = reader.line();
    return g;
}

// Every split of the input into two reads gives the same reply as one read.
void expect_reply(std::string_view bytes, State state, int code, std::string_view line,
                  std::string_view rest = {}) {
    for (std::size_t piece : {bytes.size(), std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
        if (piece == 0)
            continue;
        const Gathered g = gather(bytes, piece);
        EXPECT_EQ(g.state, state) << "pieces of " << piece << " for " << bytes;
        EXPECT_EQ(g.code, code) << "pieces of " << piece;
        EXPECT_EQ(g.line, line) << "pieces of " << piece;
        EXPECT_EQ(g.rest, rest) << "pieces of " << piece;
    }
}

TEST(FtpReplyReader, ReadsSingleAndMultiLineReplies) {
    expect_reply("220 ready\r\n", State::kComplete, 220, "220 ready");
    expect_reply("331 Password required\n", State::kComplete, 331, "331 Password required");
    // Only the first three characters count, and a code alone is a whole reply.
    expect_reply("200\r\n", State::kComplete, 200, "200");
    expect_reply("220-Welcome\r\n220-to the server\r\n220 ready\r\n", State::kComplete, 220,
                 "220 ready");
    // Inner lines may be plain text, or even another code followed by a blank.
    expect_reply("230-Hello\r\n  read the rules\r\n331 not the end\r\n230 Logged in\r\n",
                 State::kComplete, 230, "230 Logged in");
}

TEST(FtpReplyReader, KeepsWhatFollowsTheReplyForTheNextOne) {
    // The 150 and the 226 of a short transfer often come in one read.
    const std::string both = "150 Opening (12 bytes).\r\n226 Transfer complete.\r\n";
    expect_reply(both, State::kComplete, 150, "150 Opening (12 bytes).",
                 "226 Transfer complete.\r\n");

    FtpReplyReader reader;
    std::string_view input = both;
    ASSERT_EQ(reader.consume(input), State::kComplete);
    ASSERT_EQ(reader.consume(input), State::kComplete);
    EXPECT_EQ(reader.code(), 226);
    EXPECT_TRUE(input.empty());
}

TEST(FtpReplyReader, RefusesLinesWithoutACode) {
    expect_reply("hello\r\n", State::kMalformed, 0, "hello");
    expect_reply("\r\n", State::kMalformed, 0, "");
    expect_reply("22 short\r\n", State::kMalformed, 0, "22 short");
    expect_reply("2a0 x\r\n", State::kMalformed, 0, "2a0 x");
    // A NUL ends the text as it would a C string, also before the code is complete.
    expect_reply(
        "22\0"s
        "0 x\r\n",
        State::kMalformed, 0, "22");
}

TEST(FtpReplyReader, CutsTextAtCrOrNul) {
    expect_reply("213 100\rjunk\r\n", State::kComplete, 213, "213 100");
    expect_reply("213 100\0 200\r\n"s, State::kComplete, 213, "213 100");
}

TEST(FtpReplyReader, BoundsLongLines) {
    // A line longer than the buffer keeps its first kFtpLineMax characters and still ends the
    // reply where its LF is.
    const std::string long_line = "550 " + std::string(5000, 'x');
    expect_reply(long_line + "\r\n220 next\r\n", State::kComplete, 550,
                 long_line.substr(0, kFtpLineMax), "220 next\r\n");

    // A line without end is refused once it passes the read limit.
    FtpReplyReader reader;
    const std::string endless(kFtpLineReadMax + 10, 'y');
    const std::string bytes = "220 " + endless;
    std::string_view input = bytes;
    EXPECT_EQ(reader.consume(input), State::kMalformed);
    EXPECT_EQ(reader.problem(), FtpReplyReader::Problem::kLineTooLong);
}

TEST(FtpReplyReader, BoundsEndlessContinuations) {
    std::string reply = "220-start\r\n";
    for (std::size_t i = 0; i < kFtpReplyLinesMax + 5; ++i)
        reply += "220-more\r\n";
    FtpReplyReader reader;
    std::string_view input = reply;
    EXPECT_EQ(reader.consume(input), State::kMalformed);
    EXPECT_EQ(reader.problem(), FtpReplyReader::Problem::kTooManyLines);
    EXPECT_EQ(reader.lines(), kFtpReplyLinesMax);

    // Just below the bound it is still one reply.
    std::string fitting = "220-start\r\n";
    for (std::size_t i = 0; i + 2 < kFtpReplyLinesMax; ++i)
        fitting += "220-more\r\n";
    fitting += "220 end\r\n";
    expect_reply(fitting, State::kComplete, 220, "220 end");
}

TEST(FtpReplyReader, StartsAFreshReplyAfterAFailure) {
    FtpReplyReader reader;
    std::string_view input = "junk\r\n220 ok\r\n";
    EXPECT_EQ(reader.consume(input), State::kMalformed);
    EXPECT_EQ(reader.problem(), FtpReplyReader::Problem::kNoCode);
    EXPECT_EQ(reader.consume(input), State::kComplete);
    EXPECT_EQ(reader.problem(), FtpReplyReader::Problem::kNone);
    EXPECT_EQ(reader.code(), 220);
}

TEST(FtpReplyParsers, SizeReply) {
    EXPECT_EQ(parse_size_reply("213 1048576"), 1048576);
    EXPECT_EQ(parse_size_reply("213 0"), 0);
    EXPECT_EQ(parse_size_reply("213 2147483647"), 2147483647);
    EXPECT_EQ(parse_size_reply("213 77  "), 77);
    EXPECT_EQ(parse_size_reply("213 5368709120"), 5368709120);
    EXPECT_EQ(parse_size_reply("213 4611686018427387904"), 4611686018427387904);
    // Past 2^62, signs, text and nothing leave the size unknown.
    EXPECT_EQ(parse_size_reply("213 4611686018427387905"), std::nullopt);
    EXPECT_EQ(parse_size_reply("213 99999999999999999999"), std::nullopt);
    EXPECT_EQ(parse_size_reply("213 -5"), std::nullopt);
    EXPECT_EQ(parse_size_reply("213 +5"), std::nullopt);
    EXPECT_EQ(parse_size_reply("213 12abc"), std::nullopt);
    EXPECT_EQ(parse_size_reply("213 "), std::nullopt);
    EXPECT_EQ(parse_size_reply("213"), std::nullopt);
}

TEST(FtpReplyParsers, ModificationTime) {
    EXPECT_EQ(parse_modification_time("213 20261207213000"), "20261207213000");
    EXPECT_EQ(parse_modification_time("213 20261207213000.5 \r\n"), "20261207213000.5");
    EXPECT_EQ(parse_modification_time("213 20261207213000.123456789"), "20261207213000.123456789");
    // Not the form of a time: no validator rather than one that never matches again.
    EXPECT_EQ(parse_modification_time("213 2026120721300"), std::nullopt);
    EXPECT_EQ(parse_modification_time("213 202612072130001"), std::nullopt);
    EXPECT_EQ(parse_modification_time("213 20261207213000."), std::nullopt);
    EXPECT_EQ(parse_modification_time("213 20261207213000.1234567890"), std::nullopt);
    EXPECT_EQ(parse_modification_time("213 20261207213000.12a"), std::nullopt);
    EXPECT_EQ(parse_modification_time("213 Mon, 07 Dec 2026"), std::nullopt);
    EXPECT_EQ(parse_modification_time("213 "), std::nullopt);
}

TEST(FtpReplyParsers, RetrieveReplySize) {
    EXPECT_EQ(parse_retrieve_size("150 Opening BINARY mode data connection for f (12345 bytes)."),
              12345);
    EXPECT_EQ(parse_retrieve_size("150 Opening data connection for f (678 bytes)"), 678);
    EXPECT_EQ(parse_retrieve_size("150 for (a) (42 bytes)."), 42);
    EXPECT_EQ(parse_retrieve_size("150 Opening data connection."), std::nullopt);
    EXPECT_EQ(parse_retrieve_size("150 (bytes)."), std::nullopt);
    EXPECT_EQ(parse_retrieve_size("150 (-12 bytes)."), std::nullopt);
    EXPECT_EQ(parse_retrieve_size("150 (4294967296 bytes)."), 4294967296);
    EXPECT_EQ(parse_retrieve_size("150 (9223372036854775807 bytes)."), std::nullopt);
    EXPECT_EQ(parse_retrieve_size("150 (12 bytes) trailing"), std::nullopt);
}

TEST(FtpReplyParsers, PassivePorts) {
    EXPECT_EQ(parse_passive_port("227 Entering Passive Mode (127,0,0,1,4,1)."), 1025);
    EXPECT_EQ(parse_passive_port("227 =10,1,2,3,200,10"), 200 * 256 + 10);
    EXPECT_EQ(parse_passive_port("227 (127,0,0,1,256,1)"), std::nullopt);
    EXPECT_EQ(parse_passive_port("227 (127,0,0,1,4)"), std::nullopt);
    EXPECT_EQ(parse_passive_port("227 (127,0,0,1,0,0)"), std::nullopt);
    EXPECT_EQ(parse_passive_port("227 no numbers"), std::nullopt);

    EXPECT_EQ(parse_extended_passive_port("229 Entering Extended Passive Mode (|||6446|)"), 6446);
    EXPECT_EQ(parse_extended_passive_port("229 ok (!!!65535!)"), 65535);
    EXPECT_EQ(parse_extended_passive_port("229 (|||65536|)"), std::nullopt);
    EXPECT_EQ(parse_extended_passive_port("229 (|||0|)"), std::nullopt);
    EXPECT_EQ(parse_extended_passive_port("229 (||6446|)"), std::nullopt);
    EXPECT_EQ(parse_extended_passive_port("229 (|||6446)"), std::nullopt);
    EXPECT_EQ(parse_extended_passive_port("229 (111222|)"), std::nullopt);
}

}  // namespace
}  // namespace rg
