#include "engine/answer_check.h"

#include <algorithm>

#include "protocols/http_headers.h"
#include "protocols/http_status.h"

namespace rg {

namespace {

constexpr char kEtagQuote = '"';

BodyPlan refuse(BodyPlan::Verdict verdict) {
    BodyPlan plan;
    plan.verdict = verdict;
    return plan;
}

bool is_etag(std::string_view validator) {
    return !validator.empty() && validator.front() == kEtagQuote;
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

bool is_strong_validator(std::string_view validator) {
    return !validator.empty() && !is_weak_etag(validator);
}

bool validators_differ(std::string_view kept, std::string_view answer) {
    if (!is_strong_validator(kept) || !is_strong_validator(answer))
        return false;
    return is_etag(kept) == is_etag(answer) && kept != answer;
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
        if (request.holds_bytes && request.known_total > 0 && answer.range_total > 0 &&
            answer.range_total != request.known_total) {
            return refuse(Verdict::FileChanged);
        }
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
    if (!answer.ftp) {
        if (request.holds_bytes && request.known_total > 0 && answer.content_length > 0 &&
            answer.content_length != request.known_total) {
            return refuse(Verdict::FileChanged);
        }
        // If-Range was not met: the server says the file changed.
        if (data_offset < request.start && request.sent_if_range)
            return refuse(Verdict::FileChanged);
    }
    // Turning the item non-resumable would drop what it keeps: only the user may decide that.
    if (request.holds_bytes && request.resumable && answer.resumable == 0)
        return refuse(Verdict::StartOver);
    plan.skip = request.start - data_offset;
    return plan;
}

}  // namespace rg
