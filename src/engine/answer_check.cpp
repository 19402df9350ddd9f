#include "engine/answer_check.h"

#include <algorithm>

#include "protocols/http_headers.h"
#include "protocols/http_status.h"

namespace rg {

namespace {

constexpr char kEtagQuote = '"';
constexpr char kFractionMark = '.';

BodyPlan refuse(BodyPlan::Verdict verdict) {
    BodyPlan plan;
    plan.verdict = verdict;
    return plan;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// "YYYYMMDDHHMMSS" with an optional ".fff": the form of an MDTM reply's time.
bool is_ftp_time(std::string_view text) {
    const std::size_t mark = text.find(kFractionMark);
    const std::string_view whole = text.substr(0, mark);
    if (whole.empty() || !std::all_of(whole.begin(), whole.end(), is_digit))
        return false;
    if (mark == std::string_view::npos)
        return true;
    const std::string_view fraction = text.substr(mark + 1);
    return !fraction.empty() && std::all_of(fraction.begin(), fraction.end(), is_digit);
}

// The size the answer names for the whole file; 0 when it names none.
std::int64_t named_total(const AnswerFacts& answer) {
    if (!answer.ftp && answer.status_code == kHttpPartialContent)
        return std::max<std::int64_t>(answer.range_total, 0);
    return std::max<std::int64_t>(answer.content_length, 0);
}

// The kept bytes belong to a file of another size, or, after a change of address, to a file
// whose size this answer does not confirm.
bool size_disagrees(const SpanRequest& request, const AnswerFacts& answer) {
    if (!request.holds_bytes)
        return false;
    const std::int64_t total = named_total(answer);
    if (request.address_changed)
        return request.known_total <= 0 || total != request.known_total;
    return request.known_total > 0 && total > 0 && total != request.known_total;
}

}  // namespace

AnswerFacts answer_facts(const Connection& c) {
    AnswerFacts facts;
    facts.ftp = c.protocol == Protocol::Ftp;
    facts.status_code = c.status_code;
    facts.range_start = c.range_start;
    facts.range_end = c.range_end;
    facts.range_total = c.range_total;
    facts.content_length = c.content_length;
    facts.validator = c.validator;
    facts.resumable = c.resumable;
    return facts;
}

ValidatorForm validator_form(std::string_view validator) {
    if (validator.empty())
        return ValidatorForm::None;
    if (validator.front() == kEtagQuote || is_weak_etag(validator))
        return ValidatorForm::Etag;
    if (is_ftp_time(validator))
        return ValidatorForm::FtpTime;
    return ValidatorForm::HttpDate;
}

bool is_strong_validator(std::string_view validator) {
    return !validator.empty() && !is_weak_etag(validator);
}

bool is_if_range_validator(std::string_view validator) {
    return is_strong_validator(validator) && validator_form(validator) != ValidatorForm::FtpTime;
}

bool validators_differ(std::string_view kept, std::string_view answer) {
    if (!is_strong_validator(kept) || !is_strong_validator(answer))
        return false;
    return validator_form(kept) == validator_form(answer) && kept != answer;
}

BodyPlan plan_body(const SpanRequest& request, const AnswerFacts& answer) {
    using Verdict = BodyPlan::Verdict;
    if (validators_differ(request.validator, answer.validator))
        return refuse(Verdict::FileChanged);

    const std::int64_t asked_end = request.length > 0 ? request.start + request.length : -1;
    BodyPlan plan;
    plan.position = request.start;
    plan.end = asked_end;

    if (!answer.ftp && answer.status_code == kHttpPartialContent) {
        // A piece must be the one asked for, of the file the kept bytes belong to.
        if (answer.range_start != request.start || answer.range_end < answer.range_start ||
            (asked_end >= 0 && answer.range_end >= asked_end)) {
            return refuse(Verdict::WrongRange);
        }
        if (size_disagrees(request, answer))
            return refuse(Verdict::FileChanged);
        plan.partial = true;
        plan.total = std::max<std::int64_t>(answer.range_total, 0);
        // A body that runs on past its own Content-Range is not written past it.
        plan.end = answer.range_end + 1;
        return plan;
    }

    // An HTTP 200 is the whole file from byte 0; an FTP transfer starts where the server agreed
    // to (0 when it refused to resume). The bytes before the start asked for are skipped.
    const std::int64_t data_offset = answer.ftp && answer.range_start > 0 ? answer.range_start : 0;
    if (data_offset > request.start)
        return refuse(Verdict::WrongRange);
    plan.total = std::max<std::int64_t>(answer.content_length, 0);
    // FTP too: SIZE names the whole file also for a transfer that starts past 0.
    if (size_disagrees(request, answer))
        return refuse(Verdict::FileChanged);
    // If-Range was not met: the server says the file changed.
    if (!answer.ftp && data_offset < request.start && request.sent_if_range)
        return refuse(Verdict::FileChanged);
    // Turning the item non-resumable would drop what it keeps: only the user may decide that.
    if (request.holds_bytes && request.resumable && answer.resumable == 0)
        return refuse(Verdict::StartOver);
    plan.skip = request.start - data_offset;
    return plan;
}

}  // namespace rg
