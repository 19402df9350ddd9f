#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

// What a second start hands to the running copy: the activation token of the desktop (so that
// Wayland lets the window come forward) and the URLs of its command line.
struct Activation {
    std::string token;
    std::vector<std::string> urls;
};

inline constexpr std::size_t kActivationLineMax = 8192;
inline constexpr std::size_t kActivationUrlsMax = 1000;
inline constexpr std::size_t kActivationBytesMax = 1 << 20;

// The message on the wire: "reelgrab-activate 1\n", "token <text>\n", then "url <text>\n" per
// URL, each line shorter than kActivationLineMax. Lines that would break the format (a newline
// inside, too long) and URLs past kActivationUrlsMax are left out.
std::string encode_activation(const Activation& activation);
// Nullopt for a message that does not follow the format or passes the limits. No Qt here: the
// fuzz build reads it too.
std::optional<Activation> decode_activation(std::string_view bytes);

}  // namespace rg
