#pragma once

#include <string>
#include <vector>

namespace rg {

// rlg get URL... [-d DIR] [--copy]: adds each URL to the list (or takes the item already there),
// runs them with the controller and reports progress. A URL that is not in the list and whose
// file is already in DIR is complete: it is said so and not fetched again, unless `copy` asks
// for another copy under a numbered name. 0 when every download completed or was complete.
int run_get(const std::string& data_dir, const std::vector<std::string>& urls,
            const std::string& out_dir, bool copy);

// rlg info URL: what a HEAD probe learns of the URL.
int run_info(const std::string& data_dir, const std::string& url);

}  // namespace rg
