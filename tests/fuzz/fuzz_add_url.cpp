// Runs arbitrary text through the checks a new download's URL passes (canonical form, scheme,
// host, path) and checks what the rest of the intake and the clients take for granted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "intake/file_naming.h"
#include "intake/url_canonical.h"
#include "platform/ascii_text.h"
#include "protocols/ipv4_text.h"
#include "protocols/url_split.h"

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

void check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const rg::CheckedUrl checked = rg::check_new_url(text);
    if (checked.status != rg::AddStatus::kAdded) {
        check(checked.url.empty());
        return 0;
    }
    const std::string& url = checked.url;
    check(url.size() <= rg::kUrlMax);
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        check(byte >= kFirstPrintable && byte != kDelete);
    }
    const rg::SplitUrl parts = rg::split_url(url);
    // The stored URL holds no credentials, and the host it shows is the one connected to: as
    // written (any case), never a number in another notation.
    check(!parts.has_user_info);
    check(!rg::take_user_info(url).user_info);
    std::size_t host_start = url.find(':') + 1;
    if (url.substr(host_start).starts_with("//"))
        host_start += 2;
    check(rg::ascii_lowered(url.substr(host_start)).starts_with(rg::ascii_lowered(parts.host)));
    if (const auto dotted = rg::numeric_ipv4_host(parts.host))
        check(*dotted == parts.host);
    if (checked.user_info) {
        check(checked.user_info->user_name.size() <= rg::kUrlMax);
        check(checked.user_info->password.size() <= rg::kUrlMax);
    }
    check(parts.scheme == "HTTP" || parts.scheme == "HTTPS" || parts.scheme == "FTP");
    check((parts.scheme == "FTP") == (checked.protocol == rg::Protocol::Ftp));
    check(!parts.host.empty());
    check(!parts.path.empty());
    check(!parts.port || (*parts.port >= 0 && *parts.port <= 65535));
    if (checked.protocol == rg::Protocol::Http) {
        check(url.size() <= rg::kCanonicalUrlMax);
        check(url.find(' ') == std::string::npos);
        check(url.starts_with("http://") || url.starts_with("https://"));
    }
    // The stored form passes the checks unchanged.
    const rg::CheckedUrl again = rg::check_new_url(url);
    check(again.status == rg::AddStatus::kAdded);
    check(again.url == url);
    check(!again.user_info);
    check(rg::same_url(url, again.url));

    const std::string name = rg::proposed_file_name(url);
    check(!name.empty());
    check(name.find('/') == std::string::npos);
    return 0;
}
