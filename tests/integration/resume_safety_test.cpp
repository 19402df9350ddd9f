// Answers that do not fit what was asked or what is kept: the bytes on disk and the ranges
// that record them stay sound.
#include <gtest/gtest.h>

#include "download_fixture.h"
#include "engine/list_file.h"
#include "engine/status_texts.h"

namespace rg {
namespace {

using test::DownloadTest;

TEST_F(DownloadTest, AWholeAnswerToAResumeOfAnotherSizeKeepsWhatIsThere) {
    // The file on the server is now 90000 bytes; 30000 of the old 100000 are kept.
    auto item = add_partial(server_.url("/gen/90000?ignore_range=1"), 100000, {{0, 30000}});
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(item->status_text(), kFileChangedText);
    EXPECT_FALSE(completed_.count(item.get()));
    EXPECT_EQ(item->lock()->saved.resumable, 1);
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 30000}}));
    EXPECT_TRUE(local(*item) == test::generated_content(0, 30000));
}

TEST_F(DownloadTest, AServerThatStoppedServingRangesAsksBeforeStartingOver) {
    // No answer: the item keeps its ranges and stays resumable, so a save keeps them too.
    auto item = add_partial(server_.url("/gen/100000?ignore_range=1"), 100000, {{0, 30000}});
    ASSERT_TRUE(run(*item));
    ASSERT_EQ(host_.message_list().size(), 1u);
    EXPECT_EQ(host_.message_list()[0].text, kStartOverQuestion);
    EXPECT_EQ(item->status_text(), kNoResumeText);
    EXPECT_EQ(item->lock()->saved.resumable, 1);
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 30000}}));
    ASSERT_TRUE(h_.list_file.save(list_));
    DownloadList reloaded;
    ASSERT_TRUE(h_.list_file.load(reloaded));
    ASSERT_EQ(reloaded.count(), 1);
    EXPECT_EQ(reloaded.item_at(0)->snapshot().ranges, (std::vector<ByteRange>{{0, 30000}}));

    // Yes: the download starts over on that answer.
    exited_.clear();
    host_.answers.push_back(MessageAnswer::Yes);
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_TRUE(local(*item) == test::generated_content(0, 100000));
}

TEST_F(DownloadTest, ABodyStopsAtTheEndOfItsSpan) {
    // A 206 that goes on past its Content-Range, into a range already on disk.
    auto item = add_partial(server_.url("/gen/100000?overlong=20000"), 100000,
                            {{0, 10000}, {50000, 50000}});
    std::string marked = local(*item);
    marked.replace(50000, 1000, std::string(1000, 'K'));  // bytes the server must not touch
    test::write_file(item->local_path(), marked);
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(range_headers()[0], "bytes=10000-49999");
    std::string want = test::generated_content(0, 100000);
    want.replace(50000, 1000, std::string(1000, 'K'));
    EXPECT_TRUE(local(*item) == want);
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_EQ(item->downloaded(), 100000);
}

TEST_F(DownloadTest, AWholeAnswerInAGapFillsOnlyTheGap) {
    auto item = add_partial(server_.url("/gen/100000?ignore_range=1&accept_ranges=bytes"), 100000,
                            {{0, 10000}, {50000, 50000}});
    std::string marked = local(*item);
    marked.replace(60000, 1000, std::string(1000, 'K'));
    test::write_file(item->local_path(), marked);
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_TRUE(local(*item).substr(60000, 1000) == std::string(1000, 'K'));
    EXPECT_EQ(item->downloaded(), 100000);
}

TEST_F(DownloadTest, APieceWithAnotherStrongValidatorIsNotMixedIn) {
    // Fetched under "one"; the file has changed and the server ignores If-Range.
    auto item = add_partial(server_.url("/gen/100000?etag=%22two%22&ignore_if_range=1"), 100000,
                            {{0, 20000}});
    item->lock()->validator = "\"one\"";
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(item->status_text(), kFileChangedText);
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 20000}}));
    EXPECT_TRUE(local(*item) == test::generated_content(0, 20000));
    EXPECT_FALSE(completed_.count(item.get()));
}

TEST_F(DownloadTest, WeakValidatorsAreNeverSentBack) {
    auto item = add(server_.url("/gen/100000?etag=W/%22w%22&drop_after=40000"), "w.bin");
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    for (const auto& r : server_.requests())
        EXPECT_FALSE(test::FaultHttpServer::header(r, "If-Range")) << r;
    EXPECT_TRUE(local(*item) == test::generated_content(0, 100000));
}

TEST_F(DownloadTest, APieceOfUnknownTotalIsNotTheWholeFile) {
    auto item = add(server_.url("/gen/1000?wrong_range=0-999/*"), "star.bin");
    ASSERT_TRUE(run(*item));
    EXPECT_FALSE(completed_.count(item.get()));
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 1000}}));
}

}  // namespace
}  // namespace rg
