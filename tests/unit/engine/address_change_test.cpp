// The user's change of an item's URL: what the item keeps of the old address.
#include "engine/address_change.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

class AddressChangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto data = item_.lock();
        data->set_url("http://files.example/v.avi");
        data->validator = "\"v1\"";
        set_field_text(data->saved.user_name, "dXNlcg==");
        set_field_text(data->saved.password, "cHc=");
    }

    std::string user_name() { return std::string(field_text(item_.lock()->saved.user_name)); }

    DownloadItem item_;
};

TEST_F(AddressChangeTest, CredentialsStayOnlyWithTheirOrigin) {
    // Same host, and http:80 to https:443: kept.
    ASSERT_EQ(change_item_address(item_, "https://files.example/v.avi"), AddressChange::Changed);
    EXPECT_EQ(user_name(), "dXNlcg==");
    // Another host: dropped.
    ASSERT_EQ(change_item_address(item_, "https://cdn.example/v.avi"), AddressChange::Changed);
    EXPECT_EQ(user_name(), "");
    EXPECT_EQ(field_text(item_.lock()->saved.password), "");
    // Credentials given with the new URL are the item's from now on.
    const Credentials given{"bmV3", "cGFzcw=="};
    ASSERT_EQ(change_item_address(item_, "ftp://other.example/v.avi", &given),
              AddressChange::Changed);
    EXPECT_EQ(user_name(), "bmV3");
}

TEST_F(AddressChangeTest, RefusedWhileATransferMayRun) {
    item_.state = ItemState::Running;
    EXPECT_EQ(change_item_address(item_, "http://other.example/v.avi"), AddressChange::Running);
    item_.state = ItemState::MontageHeld;
    EXPECT_EQ(change_item_address(item_, "http://other.example/v.avi"), AddressChange::Running);
    // Stopped, but its worker has not ended yet.
    item_.state = ItemState::Stopped;
    item_.worker_active = true;
    EXPECT_EQ(change_item_address(item_, "http://other.example/v.avi"), AddressChange::Running);
    item_.worker_active = false;
    EXPECT_EQ(change_item_address(item_, "http://other.example/" + std::string(5000, 'x')),
              AddressChange::TooLong);
    EXPECT_EQ(item_.url(), "http://files.example/v.avi");
    EXPECT_EQ(item_.lock()->validator, "\"v1\"");
}

}  // namespace
}  // namespace rg
