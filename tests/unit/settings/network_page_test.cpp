#include "settings/network_page.h"

#include <gtest/gtest.h>

#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

NetworkPageFields valid_fields() {
    NetworkPageFields f;
    f.user_agent = "Agent/1.0";
    f.use_cookies = true;
    f.use_ie_proxy = false;
    f.connect_timeout = "600";
    f.receive_timeout = "60";
    f.retry_count = "10000";
    f.retry_delay = "6000";
    return f;
}

std::optional<std::string_view> message_for(const NetworkPageFields& f) {
    Settings settings;
    const auto error = read_network_page(f, settings);
    if (!error)
        return std::nullopt;
    EXPECT_EQ(settings, Settings{});  // nothing of a refused page is taken
    return error->message;
}

constexpr std::string_view kConnect = "Insert a Valid Connect-TimeOut Value Between 1 and 600";
constexpr std::string_view kRecieve = "Insert a Valid Recieve-TimeOut Value Between 1 and 60";
constexpr std::string_view kCount = "Insert a Valid Retry-Count Value Between 0 and 10000";
constexpr std::string_view kDelay = "Insert a Valid Retry-Count Value Between 0 and 6000";

TEST(NetworkPage, UpperBoundsAreStoredInMilliseconds) {
    Settings settings;
    ASSERT_FALSE(read_network_page(valid_fields(), settings));
    EXPECT_EQ(settings.ConnectTimeOut, 600000);
    EXPECT_EQ(settings.RecieveTimeOut, 3600000);
    EXPECT_EQ(settings.RetryCount, 10000);
    EXPECT_EQ(settings.RetryDelay, 6000000);
    EXPECT_EQ(settings.UseCookies, 1);
    EXPECT_EQ(settings.UseIEProxy, 0);
    EXPECT_EQ(settings.HTTPUserAgent, "Agent/1.0");

    const NetworkPageFields shown = network_page_fields(settings);
    EXPECT_EQ(shown.connect_timeout, "600");
    EXPECT_EQ(shown.receive_timeout, "60");
    EXPECT_EQ(shown.retry_delay, "6000");
}

TEST(NetworkPage, EachFieldHasItsMessageInOrder) {
    auto f = valid_fields();
    f.connect_timeout = "0";
    EXPECT_EQ(message_for(f), kConnect);
    f.connect_timeout = "601";
    f.receive_timeout = "61";
    EXPECT_EQ(message_for(f), kConnect);  // the first failing field speaks
    f.connect_timeout = "1";
    EXPECT_EQ(message_for(f), kRecieve);
    f.receive_timeout = "1";
    f.retry_count = "10001";
    f.retry_delay = "6001";
    EXPECT_EQ(message_for(f), kCount);
    f.retry_count = "0";
    EXPECT_EQ(message_for(f), kDelay);
    f.retry_delay = "0";
    EXPECT_EQ(message_for(f), std::nullopt);
    // Text that is not a whole number fails its check rather than reading as 0.
    for (const char* text : {"", "abc", "5s", "-1", "99999999999"}) {
        f.retry_count = text;
        EXPECT_EQ(message_for(f), kCount) << text;
    }
    f.retry_count = " 7 ";
    EXPECT_EQ(message_for(f), std::nullopt);
}

TEST(NetworkPage, UserAgentIsCutAndKeptOnOneLine) {
    auto f = valid_fields();
    f.user_agent = "A\r\nX-Injected: 1" + std::string(2000, 'z');
    Settings settings;
    ASSERT_FALSE(read_network_page(f, settings));
    EXPECT_EQ(settings.HTTPUserAgent.substr(0, 15), "AX-Injected: 1z");
    EXPECT_EQ(settings.HTTPUserAgent.size(), 1020u);
}

TEST(NetworkPage, RefusedApplyStoresNothingUntilCorrected) {
    test::TempDir dir;
    IniStore ini(dir.file("rlg.ini"));
    SettingsStore store;
    test::RecordingHost host;
    auto f = valid_fields();
    f.receive_timeout = "61";
    const NetworkApplyResult refused = apply_network_page(f, store, ini, host);
    EXPECT_EQ(refused.status, NetworkApplyStatus::kInvalid);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->field, NetworkField::kRecieveTimeOut);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kRecieve);
    EXPECT_EQ(host.messages[0].caption, "Error");
    EXPECT_EQ(store.snapshot(), Settings{});
    EXPECT_EQ(test::file_size(dir.file("rlg.ini")), -1);

    f.receive_timeout = "60";
    EXPECT_EQ(apply_network_page(f, store, ini, host).status, NetworkApplyStatus::kStored);
    EXPECT_EQ(store.snapshot().RecieveTimeOut, 3600000);
    EXPECT_EQ(load_settings(ini).RecieveTimeOut, 3600000);
    EXPECT_EQ(load_settings(ini).HTTPUserAgent, "Agent/1.0");
}

}  // namespace
}  // namespace rg
