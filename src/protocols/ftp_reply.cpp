#include "protocols/ftp_reply.h"

#include <limits>

#include "platform/local_file.h"

namespace rg {

namespace {

constexpr std::size_t kCodeLength = 3;
constexpr char kContinuationMark = '-';
constexpr int kDecimalBase = 10;
constexpr std::size_t kSizeReplyNumberAt = 4;  // "213 " precedes the number
constexpr std::size_t kMdtmTimeDigits = 14;    // YYYYMMDDHHMMSS
constexpr char kFractionMark = '.';
constexpr int kPassiveNumbers = 6;  // h1,h2,h3,h4,p1,p2
constexpr int kPassiveHostNumbers = 4;
constexpr int kByteValues = 256;
constexpr int kByteMax = 255;
constexpr std::size_t kExtendedDelimiters = 3;  // "|||" before the port
constexpr char kFirstPrintable = '!';
constexpr char kLastPrintable = '~';

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The text of a line: up to its first CR, LF or NUL.
std::string_view line_text(std::string_view line) {
    return line.substr(0, line.find_first_of(std::string_view("\r\n\0", 3)));
}

// A run of decimal digits up to kMaxFileSize; nullopt when empty or too large.
std::optional<std::int64_t> parse_offset_digits(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : digits) {
        if (!is_digit(c))
            return std::nullopt;
        const int digit = c - '0';
        if (value > (kMaxFileSize - digit) / kDecimalBase)
            return std::nullopt;
        value = value * kDecimalBase + digit;
    }
    return value;
}

// Leading digits of `text` as a number up to `limit`; advances `text` past them.
std::optional<int> take_number(std::string_view& text, int limit) {
    std::size_t i = 0;
    int value = 0;
    while (i < text.size() && is_digit(text[i])) {
        value = value * kDecimalBase + (text[i] - '0');
        if (value > limit)
            return std::nullopt;
        ++i;
    }
    if (i == 0)
        return std::nullopt;
    text.remove_prefix(i);
    return value;
}

}  // namespace

int ftp_reply_code(std::string_view line) {
    if (line.size() < kCodeLength)
        return kFtpReplyNone;
    int code = 0;
    for (std::size_t i = 0; i < kCodeLength; ++i) {
        if (!is_digit(line[i]))
            return kFtpReplyNone;
        code = code * kDecimalBase + (line[i] - '0');
    }
    return code;
}

void FtpReplyReader::start_reply() {
    state_ = State::kIncomplete;
    problem_ = Problem::kNone;
    current_.clear();
    line_bytes_ = 0;
    line_.clear();
    lines_ = 0;
    code_ = kFtpReplyNone;
}

FtpReplyReader::State FtpReplyReader::consume(std::string_view& input) {
    if (state_ != State::kIncomplete)
        start_reply();
    while (!input.empty()) {
        const std::size_t newline = input.find('\n');
        const std::string_view piece = input.substr(0, newline);
        const std::size_t room = kFtpLineMax - current_.size();
        current_.append(piece.substr(0, room));
        line_bytes_ += piece.size();
        if (line_bytes_ > kFtpLineReadMax) {
            input.remove_prefix(piece.size());
            state_ = State::kMalformed;
            problem_ = Problem::kLineTooLong;
            return state_;
        }
        if (newline == std::string_view::npos) {
            input = {};
            return state_;
        }
        input.remove_prefix(newline + 1);
        end_line();
        if (state_ != State::kIncomplete)
            return state_;
    }
    return state_;
}

void FtpReplyReader::end_line() {
    const std::string_view text = line_text(current_);
    line_.assign(text);
    ++lines_;
    const int code = ftp_reply_code(text);
    const bool marked = text.size() > kCodeLength && text[kCodeLength] == kContinuationMark;
    if (lines_ == 1) {
        code_ = code;
        if (code == kFtpReplyNone) {
            state_ = State::kMalformed;
            problem_ = Problem::kNoCode;
        } else if (!marked) {
            state_ = State::kComplete;
        }
    } else if (code == code_ && (text.size() == kCodeLength || text[kCodeLength] == ' ')) {
        // Inner lines may be any text, even another code: only the same code and a space end it.
        state_ = State::kComplete;
    } else if (lines_ >= kFtpReplyLinesMax) {
        state_ = State::kMalformed;
        problem_ = Problem::kTooManyLines;
    }
    current_.clear();
    line_bytes_ = 0;
}

std::optional<std::int64_t> parse_size_reply(std::string_view line) {
    line = line_text(line);
    if (line.size() <= kSizeReplyNumberAt)
        return std::nullopt;
    std::string_view number = line.substr(kSizeReplyNumberAt);
    // Some servers pad the number with trailing blanks.
    while (!number.empty() && number.back() == ' ')
        number.remove_suffix(1);
    return parse_offset_digits(number);
}

std::optional<std::string> parse_modification_time(std::string_view line) {
    line = line_text(line);
    if (line.size() <= kSizeReplyNumberAt)
        return std::nullopt;
    std::string_view time = line.substr(kSizeReplyNumberAt);
    while (!time.empty() && time.back() == ' ')
        time.remove_suffix(1);
    const auto all_digits = [](std::string_view text) {
        for (const char c : text) {
            if (!is_digit(c))
                return false;
        }
        return true;
    };
    const std::string_view whole = time.substr(0, kMdtmTimeDigits);
    if (whole.size() != kMdtmTimeDigits || !all_digits(whole))
        return std::nullopt;
    const std::string_view rest = time.substr(kMdtmTimeDigits);
    if (!rest.empty()) {
        const std::string_view fraction = rest.substr(1);
        if (rest.front() != kFractionMark || fraction.empty() ||
            fraction.size() > kMdtmFractionMax || !all_digits(fraction))
            return std::nullopt;
    }
    return std::string(time);
}

std::optional<std::int64_t> parse_retrieve_size(std::string_view line) {
    line = line_text(line);
    if (line.ends_with('.'))
        line.remove_suffix(1);
    if (!line.ends_with(')'))
        return std::nullopt;
    const std::size_t open = line.rfind('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    std::string_view inside = line.substr(open + 1);
    std::size_t digits = 0;
    while (digits < inside.size() && is_digit(inside[digits]))
        ++digits;
    return parse_offset_digits(inside.substr(0, digits));
}

std::optional<std::uint16_t> parse_passive_port(std::string_view line) {
    line = line_text(line);
    if (line.size() <= kCodeLength)
        return std::nullopt;
    std::string_view rest = line.substr(kCodeLength);
    const std::size_t open = rest.find('(');
    if (open != std::string_view::npos) {
        rest.remove_prefix(open + 1);
    } else {
        const std::size_t first = rest.find_first_of("0123456789");
        if (first == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(first);
    }
    int numbers[kPassiveNumbers] = {};
    for (int i = 0; i < kPassiveNumbers; ++i) {
        if (i > 0) {
            if (rest.empty() || rest.front() != ',')
                return std::nullopt;
            rest.remove_prefix(1);
        }
        const std::optional<int> n = take_number(rest, kByteMax);
        if (!n)
            return std::nullopt;
        numbers[i] = *n;
    }
    const int port = numbers[kPassiveHostNumbers] * kByteValues + numbers[kPassiveHostNumbers + 1];
    if (port == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

std::optional<std::uint16_t> parse_extended_passive_port(std::string_view line) {
    line = line_text(line);
    const std::size_t open = line.find('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = line.substr(open + 1);
    if (rest.size() < kExtendedDelimiters)
        return std::nullopt;
    const char delimiter = rest.front();
    if (delimiter < kFirstPrintable || delimiter > kLastPrintable || is_digit(delimiter))
        return std::nullopt;
    for (std::size_t i = 0; i < kExtendedDelimiters; ++i) {
        if (rest[i] != delimiter)
            return std::nullopt;
    }
    rest.remove_prefix(kExtendedDelimiters);
    const std::optional<int> port = take_number(rest, std::numeric_limits<std::uint16_t>::max());
    if (!port || *port == 0 || !rest.starts_with(delimiter))
        return std::nullopt;
    rest.remove_prefix(1);
    if (!rest.starts_with(')'))
        return std::nullopt;
    return static_cast<std::uint16_t>(*port);
}

}  // namespace rg
