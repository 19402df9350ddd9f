#include "settings/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "support/temp_dir.h"

namespace rg {
namespace {

TEST(Settings, MissingFileGivesDefaultsAndIsNotCreated) {
    test::TempDir dir;
    IniStore store(settings_path(dir.path()));
    EXPECT_EQ(store.path(), dir.path() + "/rlg.ini");
    IniReadStatus status = IniReadStatus::kOk;
    const Settings settings = load_settings(store, &status);
    EXPECT_EQ(status, IniReadStatus::kMissing);
    EXPECT_EQ(settings, Settings{});
    EXPECT_EQ(settings.HTTPUserAgent, "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)");
    EXPECT_EQ(settings.MonitorExt, "*.zip;*.exe;*.avi;*.mpg;*.rar");
    EXPECT_EQ(settings.RecieveTimeOut, 600000);
    EXPECT_EQ(settings.ConnectTimeOut, 120000);
    EXPECT_FALSE(std::filesystem::exists(store.path()));
}

TEST(Settings, LoadTakesValuesAsTheyAre) {
    const std::string long_agent(2000, 'a');
    const auto doc = IniDocument::parse(
        "[General]\nConnectTimeOut=0\nRetryCount=-3\nRetryDelay=soon\nMinSegSize=2048bytes\n"
        "HTTPUserAgent=" +
        long_agent +
        "\nMonitorExt=\n"
        "[Other]\nConcurrentDownloads=9\n");
    ASSERT_TRUE(doc);
    const Settings settings = load_settings(*doc);
    EXPECT_EQ(settings.ConnectTimeOut, 0);
    EXPECT_EQ(settings.RetryCount, -3);
    EXPECT_EQ(settings.RetryDelay, 0);
    EXPECT_EQ(settings.MinSegSize, 2048);
    EXPECT_EQ(settings.HTTPUserAgent, std::string(1023, 'a'));
    EXPECT_EQ(settings.MonitorExt, "");
    EXPECT_EQ(settings.ConcurrentDownloads, 4);
}

TEST(Settings, EachGroupWritesItsKeysInOrder) {
    test::TempDir dir;
    IniStore store(settings_path(dir.path()));
    Settings settings;
    settings.ClearStoryOnClose = 1;
    settings.MinGapSize = -1;
    ASSERT_TRUE(save_settings_group(store, settings, SettingsGroup::kMontage));
    EXPECT_EQ(test::read_file(store.path()),
              "[General]\nAutoFrameCount=7\nClearStoryOnClose=1\nMinSegSize=1024\n"
              "MinGapSize=-1\n");

    ASSERT_TRUE(save_settings_group(store, settings, SettingsGroup::kGeneral));
    ASSERT_TRUE(save_settings_group(store, settings, SettingsGroup::kNetwork));
    EXPECT_EQ(test::read_file(store.path()),
              "[General]\nAutoFrameCount=7\nClearStoryOnClose=1\nMinSegSize=1024\n"
              "MinGapSize=-1\nAutoStartApplication=1\nConfirmExit=1\nStartMinimized=1\n"
              "AutoStartDownload=1\nCancelPrompt=1\nStopPrompt=1\nConcurrentDownloads=4\n"
              "MonitorClipboard=1\nMonitorExt=*.zip;*.exe;*.avi;*.mpg;*.rar\n"
              "HTTPUserAgent=Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\nUseCookies=1\n"
              "UseIEProxy=1\nRecieveTimeOut=600000\nConnectTimeOut=120000\nRetryCount=10\n"
              "RetryDelay=10000\n");
}

TEST(Settings, SavedValuesLoadBackAndOtherKeysSurvive) {
    test::TempDir dir;
    IniStore store(settings_path(dir.path()));
    test::write_file(store.path(),
                     "[General]\nStopPrompt=0\n; mine\nUnknown=kept\n\n[Passwords]\nCount=0\n");
    Settings settings = load_settings(store);
    EXPECT_EQ(settings.StopPrompt, 0);
    settings.MonitorExt = "*.iso";
    settings.ConcurrentDownloads = INT32_MIN;
    settings.HTTPUserAgent = "agent/1.0";
    settings.RetryDelay = 0;
    for (auto group : {SettingsGroup::kGeneral, SettingsGroup::kMontage, SettingsGroup::kNetwork})
        ASSERT_TRUE(save_settings_group(store, settings, group));
    EXPECT_EQ(load_settings(store), settings);
    const std::string text = test::read_file(store.path());
    EXPECT_NE(text.find("; mine\nUnknown=kept\n"), std::string::npos);
    EXPECT_NE(text.find("\n\n[Passwords]\nCount=0\n"), std::string::npos);

    // A group with an unstorable value writes none of its keys.
    Settings bad = settings;
    bad.ConfirmExit = 0;
    bad.MonitorExt = "*.zip\n[General]";
    IniError error = IniError::kNone;
    EXPECT_FALSE(save_settings_group(store, bad, SettingsGroup::kGeneral, &error));
    EXPECT_EQ(error, IniError::kBadValue);
    EXPECT_EQ(test::read_file(store.path()), text);
}

TEST(SettingsStore, ReadersSeeWholeUpdates) {
    SettingsStore store;
    const std::size_t default_agent = Settings{}.HTTPUserAgent.size();
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            const Settings s = store.snapshot();
            if ((s.RetryCount == 10) != (s.HTTPUserAgent.size() == default_agent))
                ++torn;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        store.update([i](Settings& s) {
            s.RetryCount = i % 2 == 0 ? 5 : 10;
            s.HTTPUserAgent = i % 2 == 0 ? "short" : Settings{}.HTTPUserAgent;
        });
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace rg
