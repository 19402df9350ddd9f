#include "engine/transfer_run.h"

#include <algorithm>

#include "protocols/http_status.h"

namespace rg {

SpanOutcome span_outcome(SpanKind kind, std::int64_t received, std::string_view text,
                         std::int32_t retry_after_ms) {
    SpanOutcome outcome;
    outcome.kind = kind;
    outcome.received = received;
    outcome.text = std::string(text);
    outcome.retry_after_ms = retry_after_ms;
    return outcome;
}

bool is_passing_server_error(std::int32_t status_code) {
    return is_passing_server_status(status_code);
}

bool is_failed_attempt(SpanKind kind) {
    return kind == SpanKind::NoBytes || kind == SpanKind::ServerError ||
           kind == SpanKind::Unreachable;
}

std::uint32_t retry_wait_ms(std::int32_t retry_delay_ms, std::int32_t retry_after_ms) {
    const std::int32_t delay = std::max(0, retry_delay_ms);
    const std::int32_t asked = std::clamp(retry_after_ms, 0, kRetryAfterMaxMs);
    return static_cast<std::uint32_t>(std::max(delay, asked));
}

TransferRun::TransferRun(RetryPolicy policy) : policy_(policy) {}

TransferRun::Step TransferRun::finish(Step step) {
    phase_ = Phase::Done;
    return step;
}

TransferRun::Step TransferRun::after_span(const SpanOutcome& outcome, bool complete,
                                          bool resumable) {
    if (outcome.kind == SpanKind::Stopped)
        return finish(Step::Stopped);
    if (complete)
        return finish(Step::Complete);
    if (is_failed_attempt(outcome.kind)) {
        ++failed_;
        if (failed_ > std::max(0, policy_.retry_count))
            return finish(Step::GiveUp);
        wait_ms_ = retry_wait_ms(policy_.retry_delay_ms, outcome.kind == SpanKind::ServerError
                                                             ? outcome.retry_after_ms
                                                             : kNoRetryAfter);
        phase_ = Phase::WaitingRetry;
        return Step::WaitAndRetry;
    }
    const bool progress = outcome.kind == SpanKind::Received || outcome.kind == SpanKind::Cut;
    if (!progress || outcome.received <= 0)
        return finish(Step::Stop);
    failed_ = 0;
    // A download without ranges gets one request per run: what it lacks cannot be asked for.
    if (!resumable)
        return finish(Step::Stop);
    return Step::FetchNext;
}

void TransferRun::retry_waited() {
    if (phase_ == Phase::WaitingRetry)
        phase_ = Phase::Fetching;
}

}  // namespace rg
