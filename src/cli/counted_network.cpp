#include "cli/counted_network.h"

namespace rg {

SessionNetwork counted_network(TransferEnv& env, FetchStats& stats) {
    SessionNetwork plain = session_network(env);
    SessionNetwork network;
    network.probe = [&stats, probe = std::move(plain.probe)](DownloadItem& item, bool& named) {
        stats.requests.fetch_add(1);
        return probe(item, named);
    };
    network.test_random_access = [&stats,
                                  test = std::move(plain.test_random_access)](DownloadItem& item) {
        stats.requests.fetch_add(1);
        const RangeTestAnswer answer = test(item);
        stats.bytes.fetch_add(answer.stored > 0 ? answer.stored : 0);
        return answer;
    };
    network.fetch_span = [&stats, fetch = std::move(plain.fetch_span)](
                             DownloadItem& item, std::int64_t start, std::int64_t length) {
        stats.requests.fetch_add(1);
        stats.in_span = 0;
        const std::int64_t received = fetch(item, start, length);
        stats.bytes.fetch_add(received > 0 ? received : 0);
        stats.in_span = 0;
        return received;
    };
    return network;
}

}  // namespace rg
