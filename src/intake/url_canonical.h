#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/saved_block.h"
#include "intake/add_status.h"
#include "protocols/connection.h"
#include "protocols/url_split.h"

namespace rg {

// Longest canonical form of a URL that is not FTP (what the canonicalisation buffer holds), and
// longest URL kept at all (what the item's URL field holds).
inline constexpr std::size_t kCanonicalUrlMax = 3598;
inline constexpr std::size_t kUrlMax = SavedBlock::kUrlSize - 1;

struct CheckedUrl {
    AddStatus status = AddStatus::kAdded;  // kAdded when the URL may be added
    std::string url;                       // canonical, "/" appended to an empty path
    Protocol protocol = Protocol::Http;
    // The user name and password the text carried in front of its host, taken out of `url`.
    std::optional<UrlUserInfo> user_info;
};

// The checks a new download's URL passes before anything else happens, in this order:
// canonical form, scheme (HTTP, HTTPS or FTP), host, empty path.
//
// The canonical form: a URL starting with "ftp://" (any case) is taken unchanged, and so is one
// whose scheme is neither HTTP nor HTTPS (for the scheme check to name it). HTTP and HTTPS URLs,
// and text without a scheme (taken as HTTP), are parsed by libcurl: the scheme is lowered, dot
// segments are resolved, an empty path becomes "/", and spaces, bytes above 127 and the
// characters "<>\^`{|} are percent-encoded after the host. Nothing is decoded. Whitespace around
// the text is dropped; control characters are refused.
//
// A user name and password in front of the host ("user:password@host", as curl and wget read
// it) are taken out into `user_info`, so that the stored URL never holds them. A host written
// as a number in another notation ("33333333", "0x7f.1") is stored in its dotted form. The host
// must then be all of the authority (no characters split_url stops at), read as written, fit
// the clients' host field and carry a port of digits up to 65535, so that a download always
// goes where its URL reads. The stored URL passes these checks unchanged.
CheckedUrl check_new_url(std::string_view text);

// Whether two URLs name the same resource: the scheme and the authority (up to the first '/',
// '?' or '#' after "scheme://") compared ignoring case, the path, query and fragment exactly.
bool same_url(std::string_view a, std::string_view b);

}  // namespace rg
