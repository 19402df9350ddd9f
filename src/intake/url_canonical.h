#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/saved_block.h"
#include "intake/add_status.h"
#include "protocols/connection.h"

namespace rg {

// Longest canonical form of a URL that is not FTP (what the canonicalisation buffer holds), and
// longest URL kept at all (what the item's URL field holds).
inline constexpr std::size_t kCanonicalUrlMax = 3598;
inline constexpr std::size_t kUrlMax = SavedBlock::kUrlSize - 1;

// The form a typed URL is stored in. A URL starting with "ftp://" (any case), and one whose
// scheme is neither HTTP nor HTTPS, is taken unchanged so that the scheme check can name it.
// HTTP and HTTPS URLs, and text without a scheme (taken as HTTP), are parsed by libcurl: the
// scheme is lowered, dot segments are resolved, an empty path becomes "/", and spaces, bytes
// above 127 and the characters "<>\^`{|} are percent-encoded after the host. Nothing is
// decoded. Whitespace around the text is dropped. nullopt for text with control characters,
// text libcurl refuses, or a result longer than its limit.
std::optional<std::string> canonical_url(std::string_view text);

struct CheckedUrl {
    AddStatus status = AddStatus::kAdded;  // kAdded when the URL may be added
    std::string url;                       // canonical, "/" appended to an empty path
    Protocol protocol = Protocol::Http;
};

// The checks a new download's URL passes before anything else happens, in this order:
// canonical form, scheme (HTTP, HTTPS or FTP), host, empty path. The host must be all of the
// authority (no user name, no characters split_url stops at), fit the clients' host field and
// carry a port of digits up to 65535, so that a download always goes where its URL reads.
CheckedUrl check_new_url(std::string_view text);

}  // namespace rg
