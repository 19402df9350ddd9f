// Where an answer's body may go, judged against the span asked for and the bytes kept.
#include "engine/answer_check.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

using Verdict = BodyPlan::Verdict;

SpanRequest resume(std::int32_t start, std::int32_t length, std::int32_t total) {
    SpanRequest r;
    r.start = start;
    r.length = length;
    r.known_total = total;
    r.holds_bytes = true;
    return r;
}

AnswerFacts partial(std::int32_t first, std::int32_t last, std::int32_t total) {
    AnswerFacts a;
    a.status_code = 206;
    a.range_start = first;
    a.range_end = last;
    a.range_total = total;
    a.content_length = last - first + 1;
    a.resumable = 1;
    return a;
}

AnswerFacts whole(std::int32_t length, std::int32_t resumable) {
    AnswerFacts a;
    a.status_code = 200;
    a.content_length = length;
    a.resumable = resumable;
    return a;
}

TEST(AnswerCheck, APieceIsWrittenWhereItBelongsAndNoFurther) {
    const BodyPlan plan = plan_body(resume(1000, 4000, 10000), partial(1000, 4999, 10000));
    EXPECT_EQ(plan.verdict, Verdict::Write);
    EXPECT_EQ(plan.position, 1000);
    EXPECT_EQ(plan.skip, 0);
    EXPECT_EQ(plan.end, 5000);
    EXPECT_TRUE(plan.partial);
    // A shorter piece ends where it says, a longer one is refused.
    EXPECT_EQ(plan_body(resume(1000, 4000, 10000), partial(1000, 1999, 10000)).end, 2000);
    EXPECT_EQ(plan_body(resume(1000, 4000, 10000), partial(1000, 5000, 10000)).verdict,
              Verdict::WrongRange);
    EXPECT_EQ(plan_body(resume(1000, 0, 10000), partial(900, 9999, 10000)).verdict,
              Verdict::WrongRange);
    // "/*": written, and its end is its own.
    const BodyPlan star = plan_body(resume(0, 0, 0), partial(0, 999, kNoRange));
    EXPECT_EQ(star.verdict, Verdict::Write);
    EXPECT_EQ(star.end, 1000);
    EXPECT_EQ(star.total, 0);
}

TEST(AnswerCheck, AnotherSizeOrStrongValidatorMeansTheFileChanged) {
    EXPECT_EQ(plan_body(resume(1000, 0, 10000), partial(1000, 8999, 9000)).verdict,
              Verdict::FileChanged);
    EXPECT_EQ(plan_body(resume(1000, 0, 10000), whole(9000, 1)).verdict, Verdict::FileChanged);

    SpanRequest request = resume(1000, 0, 10000);
    request.validator = "\"a\"";
    AnswerFacts answer = partial(1000, 9999, 10000);
    answer.validator = "\"b\"";
    EXPECT_EQ(plan_body(request, answer).verdict, Verdict::FileChanged);
    answer.validator = "\"a\"";
    EXPECT_EQ(plan_body(request, answer).verdict, Verdict::Write);
    // Weak tags and validators of another kind are not compared.
    answer.validator = "W/\"b\"";
    EXPECT_EQ(plan_body(request, answer).verdict, Verdict::Write);
    answer.validator = "Tue, 01 Dec 2026 10:00:00 GMT";
    EXPECT_EQ(plan_body(request, answer).verdict, Verdict::Write);

    // Nothing kept: a new size is simply the file's.
    SpanRequest fresh = resume(0, 0, 10000);
    fresh.holds_bytes = false;
    EXPECT_EQ(plan_body(fresh, whole(9000, 1)).verdict, Verdict::Write);
    EXPECT_EQ(plan_body(fresh, whole(9000, 1)).total, 9000);
}

TEST(AnswerCheck, AWholeAnswerToAResume) {
    // Ranges served: the bytes before the span are skipped, those after it not written.
    const BodyPlan plan = plan_body(resume(1000, 4000, 10000), whole(10000, 1));
    EXPECT_EQ(plan.verdict, Verdict::Write);
    EXPECT_EQ(plan.skip, 1000);
    EXPECT_EQ(plan.position, 1000);
    EXPECT_EQ(plan.end, 5000);
    EXPECT_FALSE(plan.partial);
    // If-Range unmet.
    SpanRequest checked = resume(1000, 0, 10000);
    checked.sent_if_range = true;
    EXPECT_EQ(plan_body(checked, whole(10000, 1)).verdict, Verdict::FileChanged);
    // Ranges no longer served: only starting over would do, which drops what is kept.
    EXPECT_EQ(plan_body(resume(1000, 0, 10000), whole(10000, 0)).verdict, Verdict::StartOver);
    EXPECT_EQ(plan_body(resume(0, 4096, 10000), whole(10000, 0)).verdict, Verdict::StartOver);
    // An item already without ranges, or without bytes, simply takes it.
    SpanRequest plain = resume(0, 0, 0);
    plain.holds_bytes = false;
    EXPECT_EQ(plan_body(plain, whole(10000, 0)).verdict, Verdict::Write);
    plain = resume(0, 0, 10000);
    plain.resumable = false;
    EXPECT_EQ(plan_body(plain, whole(10000, 0)).verdict, Verdict::Write);
}

TEST(AnswerCheck, FtpStartsWhereTheServerAgreed) {
    AnswerFacts answer;
    answer.ftp = true;
    answer.range_start = 500;
    answer.content_length = 10000;
    answer.resumable = 1;
    SpanRequest request = resume(1000, 0, 10000);
    EXPECT_EQ(plan_body(request, answer).skip, 500);
    request.start = 400;
    EXPECT_EQ(plan_body(request, answer).verdict, Verdict::WrongRange);
}

AnswerFacts ftp_answer(std::int64_t data_start, std::int64_t size, std::string_view time) {
    AnswerFacts a;
    a.ftp = true;
    a.range_start = data_start;
    a.content_length = size;
    a.range_total = size > 0 ? size : kNoRange;
    a.validator = time;
    a.resumable = 1;
    return a;
}

TEST(AnswerCheck, FtpResumeOfAChangedFileIsRefused) {
    SpanRequest request = resume(4000, 0, 10000);
    request.validator = "20261201120000";
    EXPECT_EQ(plan_body(request, ftp_answer(4000, 10000, "20261201120000")).verdict,
              Verdict::Write);
    // Another SIZE, or another MDTM time with the same size.
    EXPECT_EQ(plan_body(request, ftp_answer(4000, 12000, "20261201120000")).verdict,
              Verdict::FileChanged);
    EXPECT_EQ(plan_body(request, ftp_answer(4000, 10000, "20261207083000")).verdict,
              Verdict::FileChanged);
    // A server that tells neither cannot be checked.
    EXPECT_EQ(plan_body(request, ftp_answer(4000, 0, "")).verdict, Verdict::Write);
    // Nothing kept (and so no validator): any size is the file's.
    request.holds_bytes = false;
    request.validator = {};
    EXPECT_EQ(plan_body(request, ftp_answer(4000, 12000, "20261207083000")).verdict,
              Verdict::Write);
}

TEST(AnswerCheck, ValidatorsAreComparedWithTheirOwnKind) {
    EXPECT_EQ(validator_form("\"a\""), ValidatorForm::Etag);
    EXPECT_EQ(validator_form("w/\"a\""), ValidatorForm::Etag);
    EXPECT_EQ(validator_form("Tue, 01 Dec 2026 10:00:00 GMT"), ValidatorForm::HttpDate);
    EXPECT_EQ(validator_form("20261201120000.25"), ValidatorForm::FtpTime);
    // A file time and an HTTP date of the same file differ in form: after a move from FTP to
    // HTTP neither tells that the file changed.
    EXPECT_FALSE(validators_differ("20261201120000", "Tue, 01 Dec 2026 12:00:00 GMT"));
    EXPECT_TRUE(validators_differ("20261201120000", "20261201120001"));
    // An HTTP server is never asked to check an FTP time in If-Range, nor a weak tag.
    EXPECT_FALSE(is_if_range_validator("20261201120000"));
    EXPECT_FALSE(is_if_range_validator("W/\"a\""));
    EXPECT_TRUE(is_if_range_validator("\"a\""));
    EXPECT_TRUE(is_if_range_validator("Tue, 01 Dec 2026 10:00:00 GMT"));
}

TEST(AnswerCheck, AfterAChangeOfAddressOnlyTheSameSizeIsWritten) {
    SpanRequest request = resume(30000, 0, 100000);
    request.address_changed = true;
    EXPECT_EQ(plan_body(request, partial(30000, 99999, 100000)).verdict, Verdict::Write);
    EXPECT_EQ(plan_body(request, whole(100000, 1)).verdict, Verdict::Write);
    EXPECT_EQ(plan_body(request, ftp_answer(30000, 100000, "")).verdict, Verdict::Write);
    // Another size, or no size at all, is not known to be the same file.
    EXPECT_EQ(plan_body(request, partial(30000, 89999, 90000)).verdict, Verdict::FileChanged);
    EXPECT_EQ(plan_body(request, partial(30000, 99999, kNoRange)).verdict, Verdict::FileChanged);
    EXPECT_EQ(plan_body(request, whole(0, 1)).verdict, Verdict::FileChanged);
    EXPECT_EQ(plan_body(request, ftp_answer(30000, 0, "")).verdict, Verdict::FileChanged);
    // Kept bytes of a file whose size was never known cannot be matched.
    SpanRequest unknown = resume(30000, 0, 0);
    unknown.address_changed = true;
    EXPECT_EQ(plan_body(unknown, partial(30000, 99999, 100000)).verdict, Verdict::FileChanged);
    // Without kept bytes there is nothing to match.
    SpanRequest empty = resume(0, 0, 100000);
    empty.holds_bytes = false;
    empty.address_changed = true;
    EXPECT_EQ(plan_body(empty, whole(90000, 1)).verdict, Verdict::Write);
}

}  // namespace
}  // namespace rg
