// Parses arbitrary bytes as an INI file and checks it against a plain line-by-line reading: the
// text comes back byte for byte, every key reads as that reading says, and a group write changes
// exactly the keys it names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/ini_store.h"
#include "settings/settings.h"
#include "settings/site_passwords.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string fold(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// (folded section, folded key) -> value, first section and first key winning.
using Reading = std::map<std::pair<std::string, std::string>, std::string>;

struct Reference {
    Reading keys;
    std::vector<std::string> sections;  // names as written, in order
};

Reference read_plainly(std::string_view text) {
    Reference ref;
    std::map<std::string, bool> seen;  // folded section -> this is its first occurrence
    bool current_first = false;
    bool in_section = false;
    std::string current;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        if (!line.empty() && line.back() == '\r' && lf != std::string_view::npos)
            line.remove_suffix(1);
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == ';')
            continue;
        if (content.front() == '[' && content.find(']') != std::string_view::npos) {
            const std::string_view name = trim(content.substr(1, content.rfind(']') - 1));
            current = fold(name);
            current_first = seen.emplace(current, true).second;
            in_section = true;
            ref.sections.emplace_back(name);
            continue;
        }
        const auto equals = content.find('=');
        if (!in_section || !current_first || equals == std::string_view::npos)
            continue;
        const std::string_view key = trim(content.substr(0, equals));
        std::string_view value = trim(content.substr(equals + 1));
        if (key.empty())
            continue;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        ref.keys.emplace(std::make_pair(current, fold(key)), std::string(value));
    }
    return ref;
}

void check_reads(const rg::IniDocument& doc, const Reading& expected) {
    for (const auto& [where, value] : expected) {
        const auto found = doc.find(where.first, where.second);
        check(found && *found == value);
    }
}

bool writable_name(std::string_view name) {
    return !name.empty() &&
           name.find_first_of(std::string_view("=;[]\r\n\0", 7)) == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto doc = rg::IniDocument::parse(text);
    check(doc && doc->text() == text);
    const Reference before = read_plainly(text);
    check_reads(*doc, before.keys);
    (void)rg::load_settings(*doc);
    (void)doc->entries(rg::kPasswordsSection);

    // Write into the first section (or a new one), replacing one of its keys if it has any.
    std::string section = "General";
    if (!before.sections.empty() && writable_name(before.sections.front()))
        section = before.sections.front();
    std::vector<rg::IniPair> pairs = {{"Count", "7"}, {"FuzzNewKey", "fresh value"}};
    for (const auto& [where, value] : before.keys) {
        if (where.first == fold(section) && writable_name(where.second)) {
            pairs.push_back({where.second, "replaced"});
            break;
        }
    }
    check(doc->set(section, pairs) == rg::IniError::kNone);

    Reading expected = before.keys;
    for (const auto& pair : pairs)
        expected[{fold(section), fold(pair.key)}] = pair.value;

    const auto reparsed = rg::IniDocument::parse(doc->text());
    check(reparsed && reparsed->text() == doc->text());
    check(read_plainly(doc->text()).keys == expected);
    check_reads(*reparsed, expected);
    return 0;
}
