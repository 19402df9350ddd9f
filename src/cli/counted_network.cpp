#include "cli/counted_network.h"

#include <optional>
#include <string>

#include "protocols/transfer_ops.h"

namespace rg {

namespace {

std::optional<Credentials> credentials_of(DownloadItem& item) {
    auto data = item.lock();
    const std::string_view user = field_text(data->saved.user_name);
    if (user.empty())
        return std::nullopt;
    return Credentials{std::string(user), std::string(field_text(data->saved.password))};
}

}  // namespace

SessionNetwork counted_network(TransferEnv& env, FetchStats& stats) {
    SessionNetwork network;
    network.probe = [&stats](DownloadItem& item, bool& named) {
        stats.requests.fetch_add(1);
        const auto credentials = credentials_of(item);
        return probe_http(item.connection, item.url(), credentials ? &*credentials : nullptr,
                          &named);
    };
    network.test_random_access = [&stats](DownloadItem& item) {
        stats.requests.fetch_add(1);
        const auto credentials = credentials_of(item);
        const int opened = open_span(item.connection, item.url(), 0, 1,
                                     credentials ? &*credentials : nullptr, nullptr);
        if (opened == 1)
            close_connection(item.connection);
        return opened;
    };
    network.fetch_span = [&env, &stats](DownloadItem& item, std::int32_t start,
                                        std::int32_t length) {
        stats.requests.fetch_add(1);
        stats.in_span = 0;
        const std::int32_t received = span_fetch(item, start, length, env);
        stats.bytes.fetch_add(received > 0 ? received : 0);
        stats.in_span = 0;
        return received;
    };
    return network;
}

}  // namespace rg
