#include "settings/settings.h"

#include <array>
#include <span>
#include <variant>

namespace rg {

namespace {

using IntField = std::int32_t Settings::*;
using TextField = std::string Settings::*;

struct Key {
    std::string_view name;
    std::variant<IntField, TextField> field;
};

// In the order the keys are read.
constexpr std::array<Key, 20> kKeys = {{
    {"AutoStartApplication", &Settings::AutoStartApplication},
    {"ConfirmExit", &Settings::ConfirmExit},
    {"StartMinimized", &Settings::StartMinimized},
    {"AutoStartDownload", &Settings::AutoStartDownload},
    {"CancelPrompt", &Settings::CancelPrompt},
    {"StopPrompt", &Settings::StopPrompt},
    {"ConcurrentDownloads", &Settings::ConcurrentDownloads},
    {"MonitorClipboard", &Settings::MonitorClipboard},
    {"MonitorExt", &Settings::MonitorExt},
    {"AutoFrameCount", &Settings::AutoFrameCount},
    {"ClearStoryOnClose", &Settings::ClearStoryOnClose},
    {"MinSegSize", &Settings::MinSegSize},
    {"MinGapSize", &Settings::MinGapSize},
    {"HTTPUserAgent", &Settings::HTTPUserAgent},
    {"UseCookies", &Settings::UseCookies},
    {"UseIEProxy", &Settings::UseIEProxy},
    {"RecieveTimeOut", &Settings::RecieveTimeOut},
    {"ConnectTimeOut", &Settings::ConnectTimeOut},
    {"RetryCount", &Settings::RetryCount},
    {"RetryDelay", &Settings::RetryDelay},
}};

// Each group is a run of the table above.
struct Range {
    std::size_t first;
    std::size_t count;
};
constexpr Range kGeneralKeys{0, 9};
constexpr Range kMontageKeys{9, 4};
constexpr Range kNetworkKeys{13, 7};
static_assert(kNetworkKeys.first + kNetworkKeys.count == kKeys.size());

Range range_of(SettingsGroup group) {
    switch (group) {
        case SettingsGroup::kGeneral:
            return kGeneralKeys;
        case SettingsGroup::kMontage:
            return kMontageKeys;
        case SettingsGroup::kNetwork:
            return kNetworkKeys;
    }
    return {0, 0};
}

}  // namespace

std::string settings_path(std::string_view data_folder) {
    std::string path(data_folder);
    if (!path.empty() && path.back() != '/')
        path.push_back('/');
    return path.append(kSettingsFileName);
}

Settings load_settings(const IniDocument& document) {
    Settings settings;
    for (const Key& key : kKeys) {
        if (const auto* field = std::get_if<IntField>(&key.field)) {
            int32_t& value = settings.**field;
            value = document.get_int(kGeneralSection, key.name, value);
        } else {
            std::string& value = settings.*std::get<TextField>(key.field);
            value = document.get_string(kGeneralSection, key.name, value, kSettingsStringBuffer);
        }
    }
    return settings;
}

Settings load_settings(const IniStore& store, IniReadStatus* status) {
    const IniReadResult read = store.read();
    if (status != nullptr)
        *status = read.status;
    return load_settings(read.document);
}

std::vector<IniPair> settings_group_pairs(const Settings& settings, SettingsGroup group) {
    const Range range = range_of(group);
    std::vector<IniPair> pairs;
    pairs.reserve(range.count);
    for (const Key& key : std::span(kKeys).subspan(range.first, range.count)) {
        if (const auto* field = std::get_if<IntField>(&key.field))
            pairs.push_back({std::string(key.name), std::to_string(settings.**field)});
        else
            pairs.push_back({std::string(key.name), settings.*std::get<TextField>(key.field)});
    }
    return pairs;
}

bool save_settings_group(IniStore& store, const Settings& settings, SettingsGroup group,
                         IniError* error) {
    return store.write(kGeneralSection, settings_group_pairs(settings, group), error);
}

Settings SettingsStore::snapshot() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void SettingsStore::replace(Settings settings) {
    std::lock_guard lock(mutex_);
    settings_ = std::move(settings);
}

void SettingsStore::update(const std::function<void(Settings&)>& change) {
    std::lock_guard lock(mutex_);
    change(settings_);
}

}  // namespace rg
