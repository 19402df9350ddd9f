// The run's decisions after each span: what counts as a failed attempt, how long to wait, when
// to give up.
#include "engine/transfer_run.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

using Step = TransferRun::Step;

SpanOutcome outcome(SpanKind kind, std::int32_t received = 0,
                    std::int32_t retry_after_ms = kNoRetryAfter) {
    return span_outcome(kind, received, "text", retry_after_ms);
}

TEST(TransferRun, FailedAttemptsAreRetriedRetryCountTimesThenGivenUp) {
    for (const SpanKind kind : {SpanKind::NoBytes, SpanKind::ServerError, SpanKind::Unreachable}) {
        TransferRun run({3, 250});
        for (int retry = 1; retry <= 3; ++retry) {
            EXPECT_EQ(run.after_span(outcome(kind), false, true), Step::WaitAndRetry);
            EXPECT_EQ(run.phase(), TransferRun::Phase::WaitingRetry);
            EXPECT_EQ(run.failed_attempts(), retry);
            EXPECT_EQ(run.retry_wait(), 250u);
            run.retry_waited();
            EXPECT_EQ(run.phase(), TransferRun::Phase::Fetching);
        }
        EXPECT_EQ(run.after_span(outcome(kind), false, true), Step::GiveUp);
        EXPECT_EQ(run.phase(), TransferRun::Phase::Done);
    }
}

TEST(TransferRun, RetryCountZeroIsOneAttemptAndNegativeCountsAsZero) {
    for (const std::int32_t count : {0, -3}) {
        TransferRun run({count, 10});
        EXPECT_EQ(run.after_span(outcome(SpanKind::NoBytes), false, true), Step::GiveUp);
    }
    TransferRun run({0, 10});
    EXPECT_EQ(run.after_span(outcome(SpanKind::Received, 10), true, true), Step::Complete);
}

TEST(TransferRun, ProgressStartsTheCountAgain) {
    TransferRun run({1, 10});
    EXPECT_EQ(run.after_span(outcome(SpanKind::NoBytes), false, true), Step::WaitAndRetry);
    run.retry_waited();
    EXPECT_EQ(run.after_span(outcome(SpanKind::Cut, 500), false, true), Step::FetchNext);
    EXPECT_EQ(run.failed_attempts(), 0);
    EXPECT_EQ(run.after_span(outcome(SpanKind::ServerError), false, true), Step::WaitAndRetry);
    run.retry_waited();
    EXPECT_EQ(run.after_span(outcome(SpanKind::ServerError), false, true), Step::GiveUp);
}

TEST(TransferRun, OtherOutcomesStopTheRun) {
    for (const SpanKind kind :
         {SpanKind::ReceiveTimeout, SpanKind::WrongRange, SpanKind::FileChanged,
          SpanKind::TooMuchData, SpanKind::WriteFailed, SpanKind::NotResumable,
          SpanKind::Unauthorized, SpanKind::Refused}) {
        TransferRun run({5, 10});
        EXPECT_EQ(run.after_span(outcome(kind, 100), false, true), Step::Stop);
        EXPECT_EQ(run.phase(), TransferRun::Phase::Done);
    }
    TransferRun run({5, 10});
    EXPECT_EQ(run.after_span(outcome(SpanKind::Stopped, 100), true, true), Step::Stopped);
}

TEST(TransferRun, ADownloadWithoutRangesGetsOneRequestWithBytes) {
    TransferRun cut({5, 10});
    EXPECT_EQ(cut.after_span(outcome(SpanKind::Cut, 500), false, false), Step::Stop);
    TransferRun whole({5, 10});
    EXPECT_EQ(whole.after_span(outcome(SpanKind::Received, 500), true, false), Step::Complete);
    // Nothing was written: another attempt loses nothing.
    TransferRun empty({5, 10});
    EXPECT_EQ(empty.after_span(outcome(SpanKind::NoBytes), false, false), Step::WaitAndRetry);
}

TEST(TransferRun, TheServersRetryAfterIsWaitedWhenLongerAndBounded) {
    EXPECT_EQ(retry_wait_ms(10000, kNoRetryAfter), 10000u);
    EXPECT_EQ(retry_wait_ms(10000, 1000), 10000u);
    EXPECT_EQ(retry_wait_ms(50, 1000), 1000u);
    EXPECT_EQ(retry_wait_ms(50, kRetryAfterMaxMs * 4),
              static_cast<std::uint32_t>(kRetryAfterMaxMs));
    EXPECT_EQ(retry_wait_ms(-5, kNoRetryAfter), 0u);

    TransferRun run({3, 50});
    EXPECT_EQ(run.after_span(outcome(SpanKind::ServerError, 0, 2000), false, true),
              Step::WaitAndRetry);
    EXPECT_EQ(run.retry_wait(), 2000u);
    // Only a server error's answer carries a wait of its own.
    TransferRun other({3, 50});
    other.after_span(outcome(SpanKind::Unreachable, 0, 2000), false, true);
    EXPECT_EQ(other.retry_wait(), 50u);
}

TEST(TransferRun, PassingServerErrors) {
    for (const int status : {500, 502, 503, 504})
        EXPECT_TRUE(is_passing_server_error(status)) << status;
    for (const int status : {0, 200, 404, 416, 501, 505})
        EXPECT_FALSE(is_passing_server_error(status)) << status;
}

}  // namespace
}  // namespace rg
