// Feeds arbitrary control-connection bytes to the reply reader, in pieces whose size the first
// byte chooses, and every line to the SIZE, MDTM, 150 and passive-mode parsers. Checks what the
// client relies on: the split does not change the replies, every kept line is bounded and free of
// line ends, codes are three digits, sizes fit the 32-bit offsets, ports are never 0.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/ftp_reply.h"

namespace {

constexpr std::size_t kMaxPiece = 64;
constexpr int kSmallestCode = 0;
constexpr int kLargestCode = 999;

void check(bool condition) {
    if (!condition)
        std::abort();
}

struct Reply {
    rg::FtpReplyReader::State state;
    int code;
    std::string line;
    bool operator==(const Reply&) const = default;
};

// The parsers take any text: raw input as well as the lines the reader keeps.
void check_parsers(std::string_view line) {
    if (const auto size = rg::parse_size_reply(line))
        check(*size >= 0);
    if (const auto size = rg::parse_retrieve_size(line))
        check(*size >= 0);
    // A time is digits with at most one fraction mark, and short enough to keep as a validator.
    if (const auto time = rg::parse_modification_time(line)) {
        check(!time->empty() && time->size() <= 15 + rg::kMdtmFractionMax);
        check(time->find_first_not_of("0123456789.") == std::string::npos);
        check(time->find('.') == time->rfind('.'));
    }
    if (const auto port = rg::parse_passive_port(line))
        check(*port > 0);
    if (const auto port = rg::parse_extended_passive_port(line))
        check(*port > 0);
}

void check_line(std::string_view line) {
    check(line.size() <= rg::kFtpLineMax);
    check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos);
    check_parsers(line);
}

std::vector<Reply> read_all(std::string_view input, std::size_t piece) {
    rg::FtpReplyReader reader;
    std::vector<Reply> replies;
    std::size_t fed = 0;
    while (fed < input.size()) {
        std::string_view chunk = input.substr(fed, piece);
        const std::size_t offered = chunk.size();
        while (true) {
            const std::size_t before = chunk.size();
            const auto state = reader.consume(chunk);
            check(chunk.size() <= before);
            check(reader.lines() <= rg::kFtpReplyLinesMax);
            check_line(reader.line());
            check((state == rg::FtpReplyReader::State::kMalformed) ==
                  (reader.problem() != rg::FtpReplyReader::Problem::kNone));
            if (state == rg::FtpReplyReader::State::kIncomplete) {
                check(chunk.empty());
                break;
            }
            const int code = reader.code();
            if (state == rg::FtpReplyReader::State::kComplete) {
                check(code >= kSmallestCode && code <= kLargestCode);
                check(rg::ftp_reply_code(reader.line()) == code);
            } else {
                check(code == rg::kFtpReplyNone);
            }
            replies.push_back({state, code, reader.line()});
            // The client gives up on a control connection at its first garbled reply, so what
            // follows one is never read.
            if (state == rg::FtpReplyReader::State::kMalformed)
                return replies;
            if (chunk.empty())
                break;
        }
        fed += offered;
    }
    return replies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = data[0] % kMaxPiece + 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<Reply> whole = read_all(input, input.size() + 1);
    check(read_all(input, piece) == whole);
    check_parsers(input);
    return 0;
}
