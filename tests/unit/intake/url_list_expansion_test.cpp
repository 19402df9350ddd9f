#include "intake/url_list_expansion.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

using Urls = std::vector<std::string>;

Urls expanded(std::string_view text) {
    Urls urls;
    const ExpandResult result = expand_url_list(text, urls);
    EXPECT_TRUE(result.refused.empty()) << text;
    EXPECT_EQ(result.added, urls.size());
    return urls;
}

Urls numbers(std::string_view group) {
    Urls urls;
    EXPECT_EQ(expand_pattern(std::string(group), urls), ExpandProblem::kNone) << group;
    return urls;
}

TEST(ExpandUrlList, OdometerOrderWithSegments) {
    EXPECT_EQ(expanded("http://h/img[1-3].jpg"),
              (Urls{"http://h/img1.jpg", "http://h/img2.jpg", "http://h/img3.jpg"}));
    EXPECT_EQ(expanded("h/[1-2]/[a-b]"), (Urls{"h/1/a", "h/1/b", "h/2/a", "h/2/b"}));
    // Three groups: the first varies slowest.
    const Urls three = expanded("[1-2][a-c][8-9]");
    ASSERT_EQ(three.size(), 12u);
    EXPECT_EQ(three[0], "1a8");
    EXPECT_EQ(three[1], "1a9");
    EXPECT_EQ(three[2], "1b8");
    EXPECT_EQ(three[11], "2c9");
}

TEST(ExpandPattern, NumberGroups) {
    const Urls padded = numbers("[1-10,2]");
    EXPECT_EQ(padded.front(), "01");
    EXPECT_EQ(padded.back(), "10");
    EXPECT_EQ(numbers("[1-10]"), numbers("[01-10]"));  // a leading zero is no width
    EXPECT_EQ(numbers("[1-10]")[9], "10");
    EXPECT_EQ(numbers("[5-1]"), (Urls{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(numbers("[ 7- 8, 3]"), (Urls{"007", "008"}));
    // At most 19 zeros; negative values are written unsigned.
    EXPECT_EQ(numbers("[1-1,40]"), Urls{std::string(19, '0') + "1"});
    EXPECT_EQ(numbers("[-1-0,3]"), (Urls{"04294967295", "000"}));
    // Unparsed parts stay 0: "[7]" is 0 to 7, "[]" is 0.
    EXPECT_EQ(numbers("x[7]").size(), 8u);
    EXPECT_EQ(numbers("[]"), Urls{"0"});
}

TEST(ExpandPattern, LetterGroups) {
    EXPECT_EQ(numbers("[a-c]"), (Urls{"a", "b", "c"}));
    EXPECT_EQ(numbers("[a-c,5]"), (Urls{"a", "b", "c"}));
    const Urls wide = numbers("[x-B]");
    ASSERT_EQ(wide.size(), static_cast<std::size_t>('x' - 'B' + 1));
    EXPECT_EQ(wide.front(), "B");
    EXPECT_EQ(wide[25], "[");
    EXPECT_EQ(wide.back(), "x");
    // Groups that would run into control characters are refused whole.
    Urls urls{"kept"};
    EXPECT_EQ(expand_pattern("h/[a]", urls), ExpandProblem::kControlCharacters);
    EXPECT_EQ(expand_pattern("h/[a-\xE9]", urls), ExpandProblem::kControlCharacters);
    EXPECT_EQ(urls, Urls{"kept"});
}

TEST(ExpandUrlList, LiteralLines) {
    Urls urls{"earlier"};
    const ExpandResult result = expand_url_list(
        "\r\n\r\nhttp://my-host/a[1-2].zip\n\nhttp://h/a[1-2\r"
        "http://h/b]-[1\nhttp://h/c[1-2]d[3\n",
        urls);
    EXPECT_TRUE(result.refused.empty());
    EXPECT_EQ(result.added, 5u);
    EXPECT_EQ(urls, (Urls{"earlier", "http://my-host/a[1-2].zip", "http://h/a[1-2",
                          "http://h/b]-[1", "http://h/c1d[3", "http://h/c2d[3"}));
    EXPECT_TRUE(expanded("").empty());
}

TEST(ExpandUrlList, BoundsAreCheckedBeforeGenerating) {
    Urls urls;
    // Counts: over 100,000, or overflowing the int range, or many small groups.
    EXPECT_EQ(expand_pattern("h/[0-100000]", urls), ExpandProblem::kTooManyUrls);
    EXPECT_EQ(expand_pattern("h/[-2147483648-2147483647]", urls), ExpandProblem::kTooManyUrls);
    EXPECT_EQ(expand_pattern("h/[99999999999-0]", urls), ExpandProblem::kTooManyUrls);
    std::string groups = "h/";
    for (int i = 0; i < 3000; ++i)
        groups += "[1-2]";
    EXPECT_EQ(expand_pattern(groups, urls), ExpandProblem::kTooManyUrls);
    // Lengths: the longest result counts.
    EXPECT_EQ(expand_pattern(std::string(4093, 'a') + "[8-100]", urls), ExpandProblem::kTooLong);
    EXPECT_EQ(expand_pattern(std::string(4000, 'a') + "[1-1,99]" + std::string(90, 'b'), urls),
              ExpandProblem::kTooLong);
    EXPECT_TRUE(urls.empty());
    EXPECT_EQ(expand_pattern(std::string(4093, 'a') + "[8-99]", urls), ExpandProblem::kNone);
    EXPECT_EQ(urls.back().size(), 4095u);

    urls.clear();
    EXPECT_EQ(expand_pattern("h/[1-100000]", urls), ExpandProblem::kNone);
    EXPECT_EQ(urls.size(), 100000u);
}

TEST(ExpandUrlList, RefusedLinesAreReportedAndTheRestCounts) {
    Urls urls;
    const std::string long_line = "http://h/" + std::string(10000, 'x');
    const ExpandResult result =
        expand_url_list("h/[1-60000]\nh/[1-60000]\n" + long_line + "\nh/last", urls);
    EXPECT_EQ(result.added, 60001u);
    ASSERT_EQ(result.refused.size(), 2u);
    EXPECT_EQ(result.refused[0].line, 2u);
    EXPECT_EQ(result.refused[0].problem, ExpandProblem::kTooManyUrls);
    EXPECT_EQ(result.refused[0].excerpt, "h/[1-60000]");
    EXPECT_EQ(result.refused[1].line, 3u);
    EXPECT_EQ(result.refused[1].problem, ExpandProblem::kTooLong);
    EXPECT_EQ(result.refused[1].excerpt.size(), 80u);
    EXPECT_EQ(urls.back(), "h/last");
}

}  // namespace
}  // namespace rg
