#include "shell/activation_message.h"

namespace rg {

namespace {

constexpr std::string_view kHeader = "reelgrab-activate 1";
constexpr std::string_view kTokenKey = "token ";
constexpr std::string_view kUrlKey = "url ";

bool one_line(std::string_view text) {
    return text.size() < kActivationLineMax && text.find('\n') == std::string_view::npos &&
           text.find('\r') == std::string_view::npos;
}

}  // namespace

std::string encode_activation(const Activation& activation) {
    std::string out(kHeader);
    out += '\n';
    if (one_line(activation.token)) {
        out += kTokenKey;
        out += activation.token;
        out += '\n';
    }
    std::size_t count = 0;
    for (const std::string& url : activation.urls) {
        if (!one_line(url) || count == kActivationUrlsMax)
            continue;
        out += kUrlKey;
        out += url;
        out += '\n';
        ++count;
    }
    return out;
}

std::optional<Activation> decode_activation(std::string_view bytes) {
    if (bytes.size() > kActivationBytesMax)
        return std::nullopt;
    Activation activation;
    bool header = false;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;  // a cut-off line
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        if (line.size() >= kActivationLineMax || line.find('\r') != std::string_view::npos)
            return std::nullopt;
        if (!header) {
            if (line != kHeader)
                return std::nullopt;
            header = true;
        } else if (line.starts_with(kTokenKey)) {
            activation.token = std::string(line.substr(kTokenKey.size()));
        } else if (line.starts_with(kUrlKey)) {
            if (activation.urls.size() == kActivationUrlsMax)
                return std::nullopt;
            activation.urls.emplace_back(line.substr(kUrlKey.size()));
        } else {
            return std::nullopt;
        }
    }
    if (!header)
        return std::nullopt;
    return activation;
}

}  // namespace rg
