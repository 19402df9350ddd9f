#include "settings/site_passwords.h"

#include <algorithm>
#include <cstdint>

#include "platform/ascii_text.h"
#include "protocols/base64.h"

namespace rg {

namespace {

constexpr std::size_t kMinStoredLength = 5;
constexpr std::size_t kMaxLengthDigits = 6;
constexpr std::size_t kMaxSiteLength = 1024;  // encoded characters
constexpr std::size_t kMaxUserNameLength = 120;
constexpr std::size_t kMaxPasswordLength = 120;
constexpr std::size_t kMaxIndexDigits = 10;  // every uint32_t
constexpr char kLengthEnd = '#';

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Takes "<length>#<length characters>" off the front of `rest` and decodes the characters.
std::optional<std::string> take_field(std::string_view& rest, std::size_t min_length,
                                      std::size_t max_length) {
    const std::size_t end = rest.substr(0, kMaxLengthDigits + 1).find(kLengthEnd);
    if (end == std::string_view::npos || end == 0)
        return std::nullopt;
    std::size_t length = 0;
    for (char c : rest.substr(0, end)) {
        // Only digits: a sign would make the length negative, and a huge one unsigned.
        if (!is_digit(c))
            return std::nullopt;
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (length < min_length || length > max_length)
        return std::nullopt;
    rest.remove_prefix(end + 1);
    if (length > rest.size())
        return std::nullopt;
    const std::string_view encoded = rest.substr(0, length);
    rest.remove_prefix(length);
    if (length == 0)
        return std::string();
    return base64_decode_text(encoded);
}

// The index of a key named exactly as "Site%u" writes it: no sign, no leading zeros.
std::optional<std::uint32_t> site_key_index(std::string_view key) {
    if (key.size() <= kPasswordKeyPrefix.size() ||
        ascii_lowered(key.substr(0, kPasswordKeyPrefix.size())) !=
            ascii_lowered(kPasswordKeyPrefix)) {
        return std::nullopt;
    }
    const std::string_view digits = key.substr(kPasswordKeyPrefix.size());
    if (digits.size() > kMaxIndexDigits || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (!is_digit(c))
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::string site_key(std::size_t index) {
    return std::string(kPasswordKeyPrefix) + std::to_string(index);
}

}  // namespace

std::optional<SitePassword> decode_site_password(std::string_view stored) {
    if (stored.size() < kMinStoredLength)
        return std::nullopt;
    const auto inner = base64_decode_text(stored);
    if (!inner)
        return std::nullopt;
    std::string_view rest = *inner;
    SitePassword entry;
    auto site = take_field(rest, 0, kMaxSiteLength);
    if (!site)
        return std::nullopt;
    auto user_name = take_field(rest, 1, kMaxUserNameLength);
    if (!user_name)
        return std::nullopt;
    auto password = take_field(rest, 0, kMaxPasswordLength);
    if (!password)
        return std::nullopt;
    return SitePassword{std::move(*site), std::move(*user_name), std::move(*password)};
}

std::optional<std::string> encode_site_password(const SitePassword& entry) {
    const auto site = base64_encode_text(entry.site, kSiteFieldCapacity);
    const auto user_name = base64_encode_text(entry.user_name, kUserNameFieldCapacity);
    const auto password = base64_encode_text(entry.password, kPasswordFieldCapacity);
    if (!site || !user_name || !password)
        return std::nullopt;
    std::string joined;
    for (const std::string* field : {&*site, &*user_name, &*password})
        joined.append(std::to_string(field->size())).append(1, kLengthEnd).append(*field);
    return base64_encode_text(joined, kStoredEntryCapacity);
}

std::optional<std::string> encode_credential(std::string_view plain) {
    return base64_encode_text(plain, kCredentialCapacity + 1);
}

SitePasswordList::Slot SitePasswordList::make_slot(SitePassword entry, std::string stored) {
    SiteRule rule = parse_site_rule(entry.site);
    return Slot{std::move(entry), std::move(rule), std::move(stored)};
}

IniReadStatus SitePasswordList::load() {
    const IniReadResult read = store_.read();
    std::vector<Slot> slots;
    const std::int32_t count = read.document.get_int(kPasswordsSection, kPasswordCountKey, 0);

    // One pass over the keys that exist instead of Count look-ups: a hostile Count costs
    // nothing, and the result is the same as reading Site0 .. Site<Count - 1> in turn.
    struct Found {
        std::uint32_t index;
        std::string_view value;
    };
    std::vector<Found> found;
    if (count > 0) {
        for (const IniEntry& entry : read.document.entries(kPasswordsSection)) {
            const auto index = site_key_index(entry.key);
            if (index && *index < static_cast<std::uint32_t>(count))
                found.push_back({*index, entry.value});
        }
    }
    // Stable, so that of two keys with one index the first in the file wins.
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.index < b.index; });
    std::size_t next_unread = 0;
    for (const Found& f : found) {
        if (f.index < next_unread)
            continue;
        next_unread = std::size_t{f.index} + 1;
        // As a 4095-character buffer reads it.
        const std::string_view value =
            f.value.substr(0, f.value.find('\0')).substr(0, kStoredEntryBuffer - 1);
        if (value.empty())
            continue;
        if (auto entry = decode_site_password(value))
            slots.push_back(make_slot(std::move(*entry), std::string(value)));
    }

    std::lock_guard change(change_mutex_);
    std::lock_guard lock(mutex_);
    slots_ = std::move(slots);
    storage_known_ = read.status != IniReadStatus::kUnreadable;
    in_step_ = storage_known_ && (count <= 0 || slots_.size() == static_cast<std::size_t>(count));
    return read.status;
}

std::optional<SitePassword> SitePasswordList::find(std::string_view url) const {
    const SplitUrl parts = split_url(url);
    std::lock_guard lock(mutex_);
    for (const Slot& slot : slots_) {
        if (site_matches(slot.rule, parts))
            return slot.entry;
    }
    return std::nullopt;
}

std::vector<IniPair> SitePasswordList::all_pairs() const {
    std::vector<IniPair> pairs;
    pairs.reserve(slots_.size() + 1);
    pairs.push_back({std::string(kPasswordCountKey), std::to_string(slots_.size())});
    for (std::size_t i = 0; i < slots_.size(); ++i)
        pairs.push_back({site_key(i), slots_[i].stored});
    return pairs;
}

SitePasswordError SitePasswordList::store(std::vector<IniPair> pairs, bool rewrites_all) {
    const bool ok = store_.write(kPasswordsSection, pairs);
    std::lock_guard lock(mutex_);
    if (!ok) {
        in_step_ = false;
        return SitePasswordError::kWriteFailed;
    }
    if (rewrites_all)
        in_step_ = true;
    return SitePasswordError::kNone;
}

SitePasswordError SitePasswordList::append(const SitePassword& entry, std::string stored) {
    std::vector<IniPair> pairs;
    bool rewrites_all = false;
    {
        std::lock_guard lock(mutex_);
        slots_.push_back(make_slot(entry, std::move(stored)));
        if (!storage_known_)
            return SitePasswordError::kWriteFailed;
        if (in_step_) {
            pairs.push_back({site_key(slots_.size() - 1), slots_.back().stored});
            pairs.push_back({std::string(kPasswordCountKey), std::to_string(slots_.size())});
        } else {
            pairs = all_pairs();
            rewrites_all = true;
        }
    }
    return store(std::move(pairs), rewrites_all);
}

SitePasswordError SitePasswordList::remember(const SitePassword& entry) {
    std::lock_guard change(change_mutex_);
    {
        std::lock_guard lock(mutex_);
        for (Slot& slot : slots_) {
            if (!equal_ignoring_case(slot.entry.site, entry.site))
                continue;
            SitePassword updated = slot.entry;
            updated.user_name = entry.user_name;
            updated.password = entry.password;
            auto stored = encode_site_password(updated);
            if (!stored)
                return SitePasswordError::kTooLong;
            slot.entry = std::move(updated);
            slot.stored = std::move(*stored);
            return SitePasswordError::kNone;
        }
    }
    auto stored = encode_site_password(entry);
    if (!stored)
        return SitePasswordError::kTooLong;
    return append(entry, std::move(*stored));
}

SitePasswordError SitePasswordList::add(const SitePassword& entry) {
    std::lock_guard change(change_mutex_);
    auto stored = encode_site_password(entry);
    if (!stored)
        return SitePasswordError::kTooLong;
    return append(entry, std::move(*stored));
}

SitePasswordError SitePasswordList::replace(std::size_t index, const SitePassword& entry) {
    std::lock_guard change(change_mutex_);
    auto stored = encode_site_password(entry);
    if (!stored)
        return SitePasswordError::kTooLong;
    std::vector<IniPair> pairs;
    bool rewrites_all = false;
    {
        std::lock_guard lock(mutex_);
        if (index >= slots_.size())
            return SitePasswordError::kNoSuchEntry;
        slots_[index] = make_slot(entry, std::move(*stored));
        if (!storage_known_)
            return SitePasswordError::kWriteFailed;
        if (in_step_) {
            pairs.push_back({site_key(index), slots_[index].stored});
        } else {
            pairs = all_pairs();
            rewrites_all = true;
        }
    }
    return store(std::move(pairs), rewrites_all);
}

SitePasswordError SitePasswordList::forget(std::size_t index) {
    std::lock_guard change(change_mutex_);
    std::vector<IniPair> pairs;
    {
        std::lock_guard lock(mutex_);
        if (index >= slots_.size())
            return SitePasswordError::kNoSuchEntry;
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(index));
        if (!storage_known_)
            return SitePasswordError::kWriteFailed;
        pairs = all_pairs();
    }
    return store(std::move(pairs), true);
}

std::vector<SitePassword> SitePasswordList::entries() const {
    std::lock_guard lock(mutex_);
    std::vector<SitePassword> out;
    out.reserve(slots_.size());
    for (const Slot& slot : slots_)
        out.push_back(slot.entry);
    return out;
}

std::size_t SitePasswordList::size() const {
    std::lock_guard lock(mutex_);
    return slots_.size();
}

}  // namespace rg
