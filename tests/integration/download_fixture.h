// Whole downloads: the controller runs workers against the fault-injecting server.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/controller.h"
#include "protocols/http_session.h"
#include "support/controller_harness.h"
#include "support/fault_http_server.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg::test {

inline constexpr auto kDownloadDeadline = std::chrono::seconds(60);

class DownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << server_.error();
        settings_.update([](Settings& s) {
            s.RetryDelay = 50;
            s.RetryCount = 3;
            s.RecieveTimeOut = 5000;
            s.ConnectTimeOut = 5000;
        });
        ASSERT_TRUE(h_.start());
    }

    void apply_settings() { h_.apply_settings(); }

    DownloadList::ItemPtr add(const std::string& url, const std::string& name = "file.bin") {
        return h_.add(url, name, true);
    }

    // An item whose file already holds `ranges` of the generated content of `total` bytes.
    DownloadList::ItemPtr add_partial(const std::string& url, std::int32_t total,
                                      const std::vector<ByteRange>& ranges,
                                      const std::string& name = "file.bin") {
        auto item = add(url, name);
        std::string content(static_cast<std::size_t>(total), '\0');
        std::int32_t downloaded = 0;
        for (const ByteRange& r : ranges) {
            content.replace(static_cast<std::size_t>(r.start), static_cast<std::size_t>(r.length),
                            generated_content(static_cast<std::size_t>(r.start),
                                              static_cast<std::size_t>(r.length)));
            downloaded += r.length;
        }
        const std::int64_t file_end = ranges.empty() ? 0 : ranges.back().end();
        write_file(item->local_path(), content.substr(0, static_cast<std::size_t>(file_end)));
        auto data = item->lock();
        data->ranges.assign(ranges);
        data->saved.range_count = static_cast<std::int32_t>(ranges.size());
        data->saved.downloaded = downloaded;
        data->saved.total_size = total;
        return item;
    }

    bool run(DownloadItem& item, const std::function<void()>& each_turn = {}) {
        return h_.run(item, each_turn, kDownloadDeadline);
    }

    std::string local(const DownloadItem& item) { return read_file(item.local_path()); }

    std::vector<std::string> range_headers() {
        std::vector<std::string> out;
        for (const auto& r : server_.requests())
            out.push_back(FaultHttpServer::header(r, "Range").value_or("(none)"));
        return out;
    }

    FaultHttpServer server_;
    ControllerHarness h_;
    const std::string& out_ = h_.out();
    RecordingHost& host_ = h_.host;
    SitePasswordList& passwords_ = h_.passwords;
    SettingsStore& settings_ = h_.settings;
    HttpSession& http_ = h_.http;
    DownloadList& list_ = h_.list;
    std::unique_ptr<Controller>& controller_ = h_.controller;
    std::set<const DownloadItem*>& exited_ = h_.exited;
    std::set<const DownloadItem*>& completed_ = h_.completed;
};

}  // namespace rg::test
