// Downloads stopped, reloaded from the list file and resumed after the file on the server changed,
// or after the user gave them another address: a file is never made of two versions, and the
// bytes on disk stay as they were when the resume is refused.
#include <gtest/gtest.h>

#include <optional>

#include "download_fixture.h"
#include "engine/address_change.h"
#include "engine/list_file.h"
#include "engine/status_texts.h"
#include "support/fake_ftp_server.h"

namespace rg {
namespace {

using test::DownloadTest;

constexpr std::int64_t kFileSize = 100000;
constexpr std::int64_t kStopAt = 30000;
// The Date of every answer, well after the Last-Modified times below, so that those are strong.
constexpr std::string_view kDated = "header=Date:Mon,%2007%20Dec%202026%2010:00:00%20GMT";
constexpr std::string_view kFirstModified = "last_modified=Mon,%2030%20Nov%202026%2010:00:00%20GMT";
constexpr std::string_view kLaterModified = "last_modified=Sun,%2006%20Dec%202026%2010:00:00%20GMT";

std::string joined(std::initializer_list<std::string_view> switches) {
    std::string query;
    for (const std::string_view s : switches) {
        if (!query.empty())
            query += '&';
        query += s;
    }
    return query;
}

class RestartTest : public DownloadTest {
  protected:
    // Runs the item until it holds at least `bytes`, then pauses it as the user would.
    bool run_until(DownloadItem& item, std::int64_t bytes) {
        return run(item, [&] {
            if (item.downloaded() >= bytes && item.state.load() == ItemState::Running)
                controller_->pause_item(list_.index_of(&item));
        });
    }

    // What a new start of the program has: the list saved, forgotten and read again.
    DownloadList::ItemPtr restart() {
        EXPECT_TRUE(h_.list_file.save(list_));
        list_.clear();
        // A new item may take the place of one that ended.
        exited_.clear();
        completed_.clear();
        EXPECT_TRUE(h_.list_file.load(list_));
        EXPECT_EQ(list_.count(), 1);
        return list_.shared_at(0);
    }

    std::optional<std::string> last_if_range() {
        const auto requests = server_.requests();
        if (requests.empty())
            return std::nullopt;
        return test::FaultHttpServer::header(requests.back(), "If-Range");
    }

    // Stopped with the changed-file error; the ranges and the file as `before`.
    void expect_refused(const DownloadItem& item, const std::string& before,
                        std::int64_t kept = kStopAt) {
        EXPECT_EQ(item.status_text(), kFileChangedText);
        EXPECT_FALSE(completed_.count(&item));
        EXPECT_EQ(item.snapshot().ranges, (std::vector<ByteRange>{{0, kept}}));
        EXPECT_TRUE(local(item) == before) << "the local file changed";
    }
};

struct VersionCase {
    const char* name;
    std::string first;    // the switches the first run is served with
    std::string changed;  // the file after the restart
    std::string if_range;
};

TEST_F(RestartTest, AFileChangedOnTheServerIsNotMixedInAfterARestart) {
    const VersionCase cases[] = {
        {"ETag", "etag=%22v1%22", "etag=%22v2%22&salt=1", "\"v1\""},
        {"Last-Modified only", joined({kFirstModified, kDated}),
         joined({kLaterModified, kDated, "salt=1"}), "Mon, 30 Nov 2026 10:00:00 GMT"},
    };
    int n = 0;
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "changed" + std::to_string(++n) + ".bin";
        ASSERT_TRUE(server_.change(c.first + "&stall_after=" + std::to_string(kStopAt)));
        auto item = add(server_.url("/gen/" + std::to_string(kFileSize)), name);
        ASSERT_TRUE(run_until(*item, kStopAt));
        ASSERT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, kStopAt}}));
        const std::string before = local(*item);

        item = restart();
        ASSERT_TRUE(server_.change(c.changed));
        ASSERT_TRUE(run(*item));
        EXPECT_EQ(last_if_range(), c.if_range);
        expect_refused(*item, before);
        list_.clear();
    }
}

TEST_F(RestartTest, AnUnchangedFileResumesAfterARestartWithItsValidator) {
    const VersionCase cases[] = {
        {"ETag", "etag=%22v1%22", "etag=%22v1%22", "\"v1\""},
        {"Last-Modified only", joined({kFirstModified, kDated}), joined({kFirstModified, kDated}),
         "Mon, 30 Nov 2026 10:00:00 GMT"},
    };
    int n = 0;
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "same" + std::to_string(++n) + ".bin";
        ASSERT_TRUE(server_.change(c.first + "&stall_after=" + std::to_string(kStopAt)));
        auto item = add(server_.url("/gen/" + std::to_string(kFileSize)), name);
        ASSERT_TRUE(run_until(*item, kStopAt));
        item = restart();
        ASSERT_TRUE(server_.change(c.changed));
        ASSERT_TRUE(run(*item));
        EXPECT_EQ(last_if_range(), c.if_range);
        EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
        EXPECT_TRUE(local(*item) ==
                    test::generated_content(0, static_cast<std::size_t>(kFileSize)));
    }
}

TEST_F(RestartTest, AnFtpFileOfAnotherSizeOrTimeIsNotMixedInAfterARestart) {
    const std::string first = test::random_bytes(static_cast<std::size_t>(kFileSize), 7);
    struct FtpCase {
        const char* name;
        std::string file;
        std::string modified;
    };
    const FtpCase cases[] = {
        {"another size", test::random_bytes(static_cast<std::size_t>(kFileSize) + 5000, 8),
         "20261201120000"},
        {"same size, another time", test::random_bytes(static_cast<std::size_t>(kFileSize), 9),
         "20261206093000"},
    };
    int n = 0;
    for (const FtpCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeFtpServer ftp({.file = first,
                                 .modified = "20261201120000",
                                 .stall_after = static_cast<std::size_t>(kStopAt)});
        ASSERT_TRUE(ftp.ok());
        auto item = h_.add(ftp.url("/pub/video.avi"), "ftp" + std::to_string(++n) + ".avi", false);
        ASSERT_TRUE(run_until(*item, kStopAt));
        ASSERT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, kStopAt}}));
        const std::string before = local(*item);
        ASSERT_TRUE(before == first.substr(0, static_cast<std::size_t>(kStopAt)));

        item = restart();
        ftp.replace_file(c.file, c.modified);
        ASSERT_TRUE(run(*item));
        expect_refused(*item, before);
        list_.clear();
    }
}

TEST_F(RestartTest, AChangedAddressKeepsTheBytesOnlyForTheSameSize) {
    // Fetched from one address; the user moves it to another that serves the same bytes.
    auto item = add_partial(server_.url("/gen/100000/old.bin"), kFileSize, {{0, kStopAt}});
    item->lock()->validator = "\"old\"";
    ASSERT_EQ(change_item_address(*item, server_.url("/gen/100000/mirror.bin")),
              AddressChange::Changed);
    item = restart();
    EXPECT_TRUE(item->lock()->address_changed);
    ASSERT_TRUE(server_.change("etag=%22mirror%22"));
    ASSERT_TRUE(run(*item));
    // The old validator is not sent to the new address.
    EXPECT_EQ(last_if_range(), std::nullopt);
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_TRUE(local(*item) == test::generated_content(0, static_cast<std::size_t>(kFileSize)));
}

TEST_F(RestartTest, AChangedAddressOfAnotherSizeStopsWithTheBytesUntouched) {
    auto item = add_partial(server_.url("/gen/100000/old.bin"), kFileSize, {{0, kStopAt}});
    const std::string before = local(*item);
    ASSERT_EQ(change_item_address(*item, server_.url("/gen/90000/other.bin")),
              AddressChange::Changed);
    item = restart();
    ASSERT_TRUE(run(*item));
    expect_refused(*item, before);
    EXPECT_EQ(item->total_size(), kFileSize);
    // Still unconfirmed: the next start checks again.
    EXPECT_TRUE(item->lock()->address_changed);

    // An answer that names no size is no confirmation either.
    ASSERT_EQ(change_item_address(*item, server_.url("/gen/100000/star.bin?wrong_range=" +
                                                     std::to_string(kStopAt) + "-99999/*")),
              AddressChange::Changed);
    ASSERT_TRUE(run(*item));
    expect_refused(*item, before);
}

}  // namespace
}  // namespace rg
