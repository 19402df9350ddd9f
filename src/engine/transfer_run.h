#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocols/connection.h"

namespace rg {

// How one span of a transfer ended. The kind decides what the run does next; the text is only
// what the user reads when the run stops on it.
enum class SpanKind {
    Received,        // new bytes arrived
    NoBytes,         // the answer opened but brought nothing new
    ServerError,     // 500, 502, 503, 504: the server may recover
    Unreachable,     // time-out, unknown host, no connection
    ReceiveTimeout,  // the body stayed silent for the receive time-out
    Cut,             // the body ended before its end (with new bytes: Received is not used)
    WrongRange,      // the server sent other bytes than asked for
    FileChanged,     // the file on the server is not the one the kept bytes came from
    TooMuchData,     // more bytes than the file's size
    WriteFailed,     // the local file took no more bytes
    NotResumable,    // the server no longer serves ranges and the user kept what is there
    Unauthorized,    // 401 and no credentials to try
    Refused,         // any other failed request
    Stopped,         // stopped from outside: pause, cancel, time-out, Montage
};

struct SpanOutcome {
    SpanKind kind = SpanKind::Received;
    std::int64_t received = 0;  // bytes stored by this span
    std::string text;
    // The server's Retry-After wait for a ServerError; kNoRetryAfter when none.
    std::int32_t retry_after_ms = kNoRetryAfter;
};

SpanOutcome span_outcome(SpanKind kind, std::int64_t received = 0, std::string_view text = {},
                         std::int32_t retry_after_ms = kNoRetryAfter);

// 500, 502, 503 and 504: a server that may answer again after a while.
bool is_passing_server_error(std::int32_t status_code);

// Attempts that end without new bytes and may succeed later: they count against RetryCount.
bool is_failed_attempt(SpanKind kind);

// The wait before another attempt: RetryDelay, or the server's Retry-After (bounded) when
// that is longer.
std::uint32_t retry_wait_ms(std::int32_t retry_delay_ms, std::int32_t retry_after_ms);

struct RetryPolicy {
    std::int32_t retry_count = 0;  // retries after a failed attempt; 0: one attempt only
    std::int32_t retry_delay_ms = 0;
};

// One run of a worker as a state machine: fetch spans until the file is whole, wait between
// failed attempts, give up after RetryCount retries without progress, stop on anything else.
class TransferRun {
  public:
    enum class Phase { Fetching, WaitingRetry, Done };
    enum class Step {
        FetchNext,     // ask for the next missing span at once
        WaitAndRetry,  // wait retry_wait() and ask again
        Complete,      // the file is whole
        GiveUp,        // "Passed Retry Count"
        Stop,          // the outcome's text is the status; nothing more this run
        Stopped,       // stopped from outside; the status is the stopper's
    };

    explicit TransferRun(RetryPolicy policy);

    // The next step after a span. `complete`: the ranges now hold the whole file (or a file of
    // unknown size ended cleanly); `resumable`: a request may start past 0.
    Step after_span(const SpanOutcome& outcome, bool complete, bool resumable);
    // After the wait of WaitAndRetry.
    void retry_waited();

    Phase phase() const { return phase_; }
    // Failed attempts since the last progress: the number of the retry that follows one.
    std::int32_t failed_attempts() const { return failed_; }
    std::uint32_t retry_wait() const { return wait_ms_; }

  private:
    Step finish(Step step);

    RetryPolicy policy_;
    Phase phase_ = Phase::Fetching;
    std::int32_t failed_ = 0;
    std::uint32_t wait_ms_ = 0;
};

}  // namespace rg
