#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_store.h"

namespace rg {

inline constexpr std::string_view kSettingsFileName = "rlg.ini";
inline constexpr std::string_view kGeneralSection = "General";
// Buffer of the two strings when read: at most 1023 characters are kept.
inline constexpr std::size_t kSettingsStringBuffer = 1024;

// Every value of the "General" section, named after its key. Flags are 0 = off, 1 = on; no value
// is range-checked here.
struct Settings {
    std::int32_t AutoStartApplication = 1;
    std::int32_t ConfirmExit = 1;
    std::int32_t StartMinimized = 1;
    std::int32_t AutoStartDownload = 1;
    std::int32_t CancelPrompt = 1;
    std::int32_t StopPrompt = 1;
    std::int32_t ConcurrentDownloads = 4;
    std::int32_t MonitorClipboard = 1;
    std::string MonitorExt = "*.zip;*.exe;*.avi;*.mpg;*.rar";
    std::int32_t AutoFrameCount = 7;
    std::int32_t ClearStoryOnClose = 0;
    std::int32_t MinSegSize = 1024;  // bytes
    std::int32_t MinGapSize = 1024;  // bytes
    std::string HTTPUserAgent = "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)";
    std::int32_t UseCookies = 1;
    std::int32_t UseIEProxy = 1;
    std::int32_t RecieveTimeOut = 600000;  // milliseconds
    std::int32_t ConnectTimeOut = 120000;  // milliseconds
    std::int32_t RetryCount = 10;
    std::int32_t RetryDelay = 10000;  // milliseconds

    bool operator==(const Settings&) const = default;
};

// The pages of the Options dialog each save their own keys.
enum class SettingsGroup { kGeneral, kMontage, kNetwork };

std::string settings_path(std::string_view data_folder);

// Missing keys, and all keys of a missing or unreadable file, keep their defaults.
Settings load_settings(const IniDocument& document);
Settings load_settings(const IniStore& store, IniReadStatus* status = nullptr);

// The group's keys and values in the order they are written.
std::vector<IniPair> settings_group_pairs(const Settings& settings, SettingsGroup group);

// Writes the group's keys in one go; false (and `error`) leaves the file as it was.
bool save_settings_group(IniStore& store, const Settings& settings, SettingsGroup group,
                         IniError* error = nullptr);

// The process-wide settings. Workers read them while the controller applies the Options dialog,
// so every access takes the lock; readers get a copy.
class SettingsStore {
  public:
    SettingsStore() = default;
    explicit SettingsStore(Settings initial) : settings_(std::move(initial)) {}

    Settings snapshot() const;
    void replace(Settings settings);
    void update(const std::function<void(Settings&)>& change);

  private:
    mutable std::mutex mutex_;
    Settings settings_;
};

}  // namespace rg
