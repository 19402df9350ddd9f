#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocols/connection.h"

namespace rg {

// Reply codes the FTP client acts on.
enum FtpReplyCode : int {
    kFtpReplyNone = 0,  // no reply: the read failed or the line carried no code
    kFtpDataAlreadyOpen = 125,
    kFtpOpeningData = 150,
    kFtpCommandOk = 200,
    kFtpFileStatus = 213,
    kFtpServiceReady = 220,
    kFtpTransferComplete = 226,
    kFtpPassiveMode = 227,
    kFtpExtendedPassiveMode = 229,
    kFtpLoggedIn = 230,
    kFtpNeedPassword = 331,
    kFtpPendingFurther = 350,
};

// The class of a reply, its first digit.
inline constexpr int kFtpReplyClassDivisor = 100;
inline constexpr int kFtpClassPreliminary = 1;
inline constexpr int kFtpClassCompletion = 2;

// The first kFtpLineMax characters of a reply line are kept; the rest of a longer line is read and
// dropped, up to kFtpLineReadMax bytes in all. A reply of more lines than kFtpReplyLinesMax is
// refused: nothing the client asks for answers at such length.
inline constexpr std::size_t kFtpLineReadMax = 64 * 1024;
inline constexpr std::size_t kFtpReplyLinesMax = 256;

// Gathers one reply at a time from the bytes of a control connection, however they are split
// across reads. A reply is one line "ddd text", or a first line "ddd-text" followed by any lines
// up to one that starts with the same three digits and a space (or ends after them). Lines end at
// LF; a CR before it, and everything from the first NUL, are not part of the text.
class FtpReplyReader {
  public:
    enum class State { kIncomplete, kComplete, kMalformed };
    // Why a reply is kMalformed.
    enum class Problem { kNone, kNoCode, kLineTooLong, kTooManyLines };

    // Takes bytes from the front of `input` up to the end of the current reply; what follows stays
    // in `input` for the next one. After kComplete or kMalformed the next call starts a new reply.
    State consume(std::string_view& input);

    State state() const { return state_; }
    Problem problem() const { return problem_; }
    // Of a complete reply; kFtpReplyNone otherwise.
    int code() const { return state_ == State::kComplete ? code_ : kFtpReplyNone; }
    // The last whole line read, cut at its first CR, LF or NUL and at kFtpLineMax characters.
    const std::string& line() const { return line_; }
    // Lines ended so far in the current reply.
    std::size_t lines() const { return lines_; }
    // True while part of a line has been read.
    bool inside_line() const { return line_bytes_ > 0; }

  private:
    void start_reply();
    void end_line();

    State state_ = State::kIncomplete;
    Problem problem_ = Problem::kNone;
    std::string current_;  // the line being read, up to kFtpLineMax bytes
    std::size_t line_bytes_ = 0;
    std::string line_;
    std::size_t lines_ = 0;
    int code_ = kFtpReplyNone;
};

// The reply code of a line: its first three characters when all are digits, else kFtpReplyNone.
int ftp_reply_code(std::string_view line);

// The size of a 213 reply line, "213 <digits>". nullopt when the number is missing, signed, not
// all digits, or past kMaxFileSize.
std::optional<std::int64_t> parse_size_reply(std::string_view line);

// The time of a 213 reply to MDTM, "213 YYYYMMDDHHMMSS" with an optional fraction of a second
// (".fff", at most kMdtmFractionMax digits), as its text; nullopt for anything else.
inline constexpr std::size_t kMdtmFractionMax = 9;
std::optional<std::string> parse_modification_time(std::string_view line);

// The size many servers put into their 150 reply, "... (<digits> bytes)." (the full stop may be
// missing): the number after the last '(' of a line that ends with ')' or ")."; nullopt when
// there is none or it is out of range as for parse_size_reply.
std::optional<std::int64_t> parse_retrieve_size(std::string_view line);

// The port of a 227 reply, "227 text (h1,h2,h3,h4,p1,p2)" (the parentheses may be missing). Only
// the port is taken: the data connection goes to the control connection's peer, never to an
// address the reply names.
std::optional<std::uint16_t> parse_passive_port(std::string_view line);

// The port of a 229 reply, "229 text (|||port|)", with any printable delimiter in place of '|'.
std::optional<std::uint16_t> parse_extended_passive_port(std::string_view line);

}  // namespace rg
