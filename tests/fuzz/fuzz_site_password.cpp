// Decodes arbitrary stored values, both as they come and wrapped in the outer Base64 layer so
// that the field parser is reached directly. An entry that decodes and can be encoded again
// must decode to itself; a failed encode must be down to a field too long for its capacity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocols/base64.h"
#include "settings/site_passwords.h"

namespace {

constexpr std::size_t kMaxSite = 765;
constexpr std::size_t kMaxCredential = 87;
constexpr char kFieldSeparator = '\x01';

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool fits(const rg::SitePassword& entry) {
    return entry.site.size() <= kMaxSite && entry.user_name.size() <= kMaxCredential &&
           entry.password.size() <= kMaxCredential;
}

bool has_nul(const rg::SitePassword& entry) {
    for (const std::string* field : {&entry.site, &entry.user_name, &entry.password}) {
        if (field->find('\0') != std::string::npos)
            return true;
    }
    return false;
}

// Encodes and decodes again: the same entry, unless its user name is empty, which the stored
// form cannot carry.
void round_trip(const rg::SitePassword& entry) {
    const auto stored = rg::encode_site_password(entry);
    check(stored.has_value() == fits(entry));
    if (!stored || has_nul(entry))
        return;
    const auto again = rg::decode_site_password(*stored);
    if (entry.user_name.empty())
        check(!again);
    else
        check(again && *again == entry);
}

void decode(std::string_view value) {
    const auto entry = rg::decode_site_password(value);
    if (!entry)
        return;
    check(entry->site.size() <= rg::kSiteFieldCapacity);
    check(entry->user_name.size() < rg::kUserNameFieldCapacity);
    check(entry->password.size() < rg::kPasswordFieldCapacity);
    round_trip(*entry);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    decode(input);
    if (const auto wrapped = rg::base64_encode_text(input, rg::base64_encoded_length(size) + 1))
        decode(*wrapped);

    // Three fields separated by \x01: any entry that fits survives the stored form.
    const auto first = input.find(kFieldSeparator);
    const auto second =
        first == std::string_view::npos ? first : input.find(kFieldSeparator, first + 1);
    if (second != std::string_view::npos) {
        round_trip({std::string(input.substr(0, first)),
                    std::string(input.substr(first + 1, second - first - 1)),
                    std::string(input.substr(second + 1))});
    }
    return 0;
}
