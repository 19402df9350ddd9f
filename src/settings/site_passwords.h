#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_store.h"
#include "settings/site_match.h"

namespace rg {

inline constexpr std::string_view kPasswordsSection = "Passwords";
inline constexpr std::string_view kPasswordCountKey = "Count";
inline constexpr std::string_view kPasswordKeyPrefix = "Site";  // followed by the index

// Capacities of the Base64 forms, terminator included, and the buffer a stored value is read
// into (at most 4094 characters are kept).
inline constexpr std::size_t kSiteFieldCapacity = 1024;
inline constexpr std::size_t kUserNameFieldCapacity = 120;
inline constexpr std::size_t kPasswordFieldCapacity = 120;
inline constexpr std::size_t kStoredEntryCapacity = 4096;
inline constexpr std::size_t kStoredEntryBuffer = 4095;

struct SitePassword {
    std::string site;  // a host (what the program stores: the upper-cased host) or a URL prefix
    std::string user_name;
    std::string password;

    bool operator==(const SitePassword&) const = default;
};

// The stored form: each field Base64-encoded, joined as "<length>#<text>" three times, and the
// whole Base64-encoded again. nullopt for a value that fails any check: values shorter than 5
// characters, a length that is not 1 to 6 digits before its '#', a site longer than 1024
// encoded characters, a user name outside 1 to 120, a password above 120, a length reaching
// past the text, or a field that is not Base64.
std::optional<SitePassword> decode_site_password(std::string_view stored);

// nullopt when a field's Base64 form and its terminator do not fit its capacity (a site of more
// than 765 characters, a user name or password of more than 87).
std::optional<std::string> encode_site_password(const SitePassword& entry);

// The Base64 form a download keeps for its user name or password (119 characters at most, so
// at most 87 plain characters); nullopt when it does not fit.
std::optional<std::string> encode_credential(std::string_view plain);

enum class SitePasswordError {
    kNone,
    kTooLong,      // a field has no stored form; nothing changed
    kNoSuchEntry,  // index out of range; nothing changed
    kWriteFailed,  // the list changed in memory but the file could not be written
};

// The remembered credentials, in load order followed by additions; the order decides which
// entry a lookup finds. find() runs on worker threads while the controller changes the list,
// so the entries are guarded; changes and their writes are serialised among themselves.
class SitePasswordList {
  public:
    explicit SitePasswordList(IniStore& store) : store_(store) {}
    SitePasswordList(const SitePasswordList&) = delete;
    SitePasswordList& operator=(const SitePasswordList&) = delete;

    // Replaces the list with the decodable entries Site0 .. Site<Count - 1>. Until a load has
    // read the file (or found it missing) the list writes nothing, so that entries it could not
    // see are never overwritten.
    IniReadStatus load();

    // The first entry whose site the URL lies within (site_matches): the URL's host equals the
    // entry's host, and a URL prefix entry's scheme, port and path agree. An entry is never
    // found inside another host's name or in a path or query; an empty site matches nothing.
    std::optional<SitePassword> find(std::string_view url) const;

    // The first entry whose site equals the new site ignoring case takes the new user name and
    // password in memory only: the file keeps the old values until the section is next
    // rewritten. Without a match the entry is appended and stored.
    SitePasswordError remember(const SitePassword& entry);

    // The server-entry dialog's add and edit: both store at once.
    SitePasswordError add(const SitePassword& entry);
    SitePasswordError replace(std::size_t index, const SitePassword& entry);

    // Removes the entry and rewrites Count and every Site key; the key that held the old last
    // entry stays in the file, beyond Count.
    SitePasswordError forget(std::size_t index);

    std::vector<SitePassword> entries() const;
    std::size_t size() const;

  private:
    struct Slot {
        SitePassword entry;
        SiteRule rule;
        std::string stored;  // the value written for it: as loaded, or freshly encoded
    };
    static Slot make_slot(SitePassword entry, std::string stored);
    std::vector<IniPair> all_pairs() const;
    SitePasswordError append(const SitePassword& entry, std::string stored);
    SitePasswordError store(std::vector<IniPair> pairs, bool rewrites_all);

    IniStore& store_;
    std::mutex change_mutex_;   // one change and its write at a time
    mutable std::mutex mutex_;  // guards the members below
    std::vector<Slot> slots_;
    // The file was read at load (or absent), so its keys are known.
    bool storage_known_ = false;
    // Site<i> in the file holds the i-th entry for every i below Count. False after an entry
    // failed to load or a write failed: appending at the list's count would then overwrite a
    // key still holding an entry, so the next change rewrites the whole section instead.
    bool in_step_ = false;
};

}  // namespace rg
