#pragma once

#include "cli/fetch_stats.h"
#include "engine/transfer_worker.h"
#include "montage/media_session.h"

namespace rg {

// The media session's requests over the transfer operations (the HEAD probe, the 1-byte random
// access test, span_fetch), each counted in `stats` with the body bytes it stored. `env` and
// `stats` must outlive the result.
SessionNetwork counted_network(TransferEnv& env, FetchStats& stats);

}  // namespace rg
