#include "engine/redirect_rules.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

bool has_credentials(DownloadItem& item) {
    auto data = item.lock();
    return !field_text(data->saved.user_name).empty() || !field_text(data->saved.password).empty();
}

void give_credentials(DownloadItem& item) {
    auto data = item.lock();
    set_field_text(data->saved.user_name, "bWU=");
    set_field_text(data->saved.password, "c2VjcmV0");
}

TEST(RedirectRules, CredentialsStayOnlyWithinTheirOrigin) {
    struct Case {
        const char* to;
        bool kept;
    };
    const Case cases[] = {
        {"http://files.example.com/other/b.bin", true},
        {"https://files.example.com/b.bin", true},
        {"http://files.example.com:8080/b.bin", false},
        {"http://example.com/b.bin", false},
        {"http://files.example.com.evil.net/b.bin", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.to);
        DownloadItem item;
        item.lock()->set_url("http://files.example.com/a.bin");
        give_credentials(item);
        move_item_url(item, k.to);
        EXPECT_EQ(item.url(), k.to);
        EXPECT_EQ(has_credentials(item), k.kept);
        EXPECT_EQ(item.connection.protocol, Protocol::Http);
    }
}

TEST(RedirectRules, FtpTargetSwitchesTheProtocolAndDropsCredentials) {
    DownloadItem item;
    item.lock()->set_url("http://files.example.com/a.bin");
    give_credentials(item);
    move_item_url(item, "ftp://files.example.com/pub/a.bin");
    EXPECT_EQ(item.connection.protocol, Protocol::Ftp);
    EXPECT_FALSE(has_credentials(item));
    // Once dropped they stay dropped, even when a later redirect comes back.
    move_item_url(item, "http://files.example.com/a.bin");
    EXPECT_EQ(item.connection.protocol, Protocol::Http);
    EXPECT_FALSE(has_credentials(item));
}

}  // namespace
}  // namespace rg
