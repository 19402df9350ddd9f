#pragma once

#include <string>
#include <vector>

namespace rg {

// rlg get URL... [-d DIR]: adds each URL to the list (or takes the item already there), runs them
// with the controller and reports progress. 0 when every download completed.
int run_get(const std::string& data_dir, const std::vector<std::string>& urls,
            const std::string& out_dir);

// rlg info URL: what a HEAD probe learns of the URL.
int run_info(const std::string& data_dir, const std::string& url);

}  // namespace rg
