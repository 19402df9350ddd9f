#include <gtest/gtest.h>

#include "engine/transfer_worker.h"

namespace rg {
namespace {

RangeList ranges(std::initializer_list<ByteRange> list) {
    RangeList r;
    r.assign(list);
    return r;
}

void expect_plan(const RangeList& r, std::int32_t total, std::int32_t start, std::int32_t length) {
    const auto plan = plan_first_missing_span(r, total);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->start, start);
    EXPECT_EQ(plan->length, length);
}

TEST(SpanPlan, FirstMissingSpan) {
    expect_plan({}, 0, 0, 0);
    expect_plan({}, 1000000, 0, 1000000);
    expect_plan(ranges({{0, 300000}}), 1000000, 300000, 0);
    expect_plan(ranges({{0, 1000}, {5000, 1000}}), 10000, 1000, 4000);
    expect_plan(ranges({{0, 6000}}), 10000, 6000, 0);
    // A range that does not start at 0: the bytes before it are missing, not those after it.
    expect_plan(ranges({{4096, 100}}), 10000, 0, 4096);
    expect_plan(ranges({{4096, 100}}), 0, 0, 4096);
}

TEST(SpanPlan, CompleteNeedsNoRequest) {
    EXPECT_FALSE(plan_first_missing_span(ranges({{0, 500}}), 500));
    EXPECT_TRUE(plan_first_missing_span(ranges({{0, 500}}), 0));
}

}  // namespace
}  // namespace rg
