// The texts of a row as the tool prints them, and the row numbers it takes.
#include "cli/row_texts.h"

#include <gtest/gtest.h>

#include "cli/command_args.h"
#include "cli/row_numbers.h"

namespace rg {
namespace {

void fill(DownloadItem& item, std::string_view path, std::int64_t downloaded, std::int64_t total) {
    auto data = item.lock();
    data->set_local_path(path);
    data->saved.downloaded = downloaded;
    data->saved.total_size = total;
}

TEST(RowTextsTest, AStoppedRowShowsItsProgressAndNoSpeed) {
    DownloadItem item;
    fill(item, "/down/movie.avi", 1024, 4096);
    item.speed = 7.5f;
    const RowTexts row = row_texts(item);
    EXPECT_EQ(row.name, "movie.avi");
    EXPECT_EQ(row.state, "stopped");
    EXPECT_EQ(row.progress, "1 KB/4 KB (25.00%)");
    EXPECT_EQ(row.speed, "0.00 Kb/s");
    EXPECT_EQ(row.status, "Idle");
}

TEST(RowTextsTest, ARunningRowShowsItsSpeedAndItsRetries) {
    DownloadItem item;
    fill(item, "/down/a.bin", 0, 0);
    item.state = ItemState::Running;
    item.speed = 1.5f;
    item.set_status("Connecting to Server");
    EXPECT_EQ(row_texts(item).speed, "1.50 Kb/s");
    EXPECT_EQ(row_texts(item).status, "Connecting to Server");
    EXPECT_EQ(row_texts(item).progress, "0 B/0 B (0.00%)");
    item.retry_count = 2;
    EXPECT_EQ(row_texts(item).status, "Connecting to Server[Retry:3]");
    // Retries are shown only while the item runs.
    item.state = ItemState::Stopped;
    EXPECT_EQ(row_texts(item).status, "Connecting to Server");
    item.state = ItemState::MontageHeld;
    EXPECT_EQ(row_texts(item).state, "montage");
    EXPECT_EQ(row_texts(item).speed, "1.50 Kb/s");
}

TEST(RowTextsTest, AFiveGiBRowShowsItsSizesWhole) {
    constexpr std::int64_t kGiB = std::int64_t{1} << 30;
    DownloadItem item;
    fill(item, "/down/big.avi", 3 * kGiB + 512 * 1024, 5 * kGiB);
    const RowTexts row = row_texts(item);
    EXPECT_EQ(row.progress, "3072.5 MB/5120.0 MB (60.01%)");
    EXPECT_EQ(row_line(row, columns_for({row}, 48), true),
              "big.avi  stopped  3072.5 MB/5120.0 MB (60.01%)  0.00 Kb/s  Idle");
    // Nothing yet of a file whose size is known: the size alone.
    fill(item, "/down/big.avi", 0, 5 * kGiB + 1);
    EXPECT_EQ(row_texts(item).progress, "0 B/5120.0 MB (0.00%)");
}

TEST(RowTextsTest, ControlCharactersNeverReachTheTerminal) {
    DownloadItem item;
    fill(item, "/down/x.bin", 0, 0);
    item.set_status("HTTP/1.1 404 Not Found\r\n\x1b[2Jgone\x7f");
    EXPECT_EQ(row_texts(item).status, "HTTP/1.1 404 Not Found   [2Jgone ");
}

TEST(RowTextsTest, RowLinesLineUpAndCutLongNames) {
    const RowTexts a{"a.bin", "stopped", "1 KB/4 KB (25.00%)", "0.00 Kb/s", "Idle"};
    const RowTexts b{"a-very-long-file-name.bin", "running", "100 KB/4.0 MB (2.44%)", "12.00 Kb/s",
                     "Response Recieved"};
    const RowColumns columns = columns_for({a, b}, 10);
    EXPECT_EQ(columns.name, 10u);
    EXPECT_EQ(row_line(a, columns, true),
              "a.bin       stopped     1 KB/4 KB (25.00%)   0.00 Kb/s  Idle");
    EXPECT_EQ(row_line(b, columns, true),
              "a-very-...  running  100 KB/4.0 MB (2.44%)  12.00 Kb/s  Response Recieved");
    EXPECT_EQ(row_line(a, columns, false), "a.bin          1 KB/4 KB (25.00%)   0.00 Kb/s  Idle");
}

TEST(RowNumbersTest, RowsCountFromOneAndStayInsideTheList) {
    EXPECT_EQ(parse_count("1", 5), 1);
    EXPECT_EQ(parse_count("5", 5), 5);
    EXPECT_EQ(parse_count("6", 5), std::nullopt);
    EXPECT_EQ(parse_count("0", 5), std::nullopt);
    EXPECT_EQ(parse_count("", 5), std::nullopt);
    EXPECT_EQ(parse_count("+1", 5), std::nullopt);
    EXPECT_EQ(parse_count(" 1", 5), std::nullopt);
    EXPECT_EQ(parse_count("99999999999999999999", 5), std::nullopt);

    EXPECT_EQ(parse_row_numbers({"3", "1"}), (std::vector<std::int32_t>{3, 1}));
    EXPECT_EQ(parse_row_numbers({"3", "x"}), std::nullopt);
    EXPECT_EQ(parse_row_numbers(std::vector<std::string_view>(kMostRowArguments + 1, "1")),
              std::nullopt);

    EXPECT_EQ(rows_in_list({3, 1, 3}, 3), (std::vector<std::int32_t>{2, 0, 2}));
    EXPECT_EQ(rows_in_list({4}, 3), std::nullopt);
    EXPECT_EQ(rows_in_list({1}, 0), std::nullopt);

    const Selection selection = selection_of(4, {2, 0, 2});
    EXPECT_EQ(selection.selected_rows(), (std::vector<std::int32_t>{0, 2}));
}

}  // namespace
}  // namespace rg
