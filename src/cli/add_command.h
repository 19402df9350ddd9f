#pragma once

#include <string>

#include "cli/command_args.h"

namespace rg {

// The most URLs one add takes, patterns expanded.
inline constexpr std::size_t kMostAddedUrls = 10000;

// rlg add URL-or-pattern... [-d DIR] [--user U --password P] [--not-scheduled]: expands every
// argument as the URL list does ("http://h/img[1-120,3].jpg": img001.jpg to img120.jpg), adds each
// URL to the list with its file in DIR (default: the current folder; an existing name gets a
// number), scheduled unless --not-scheduled, and saves the list once. One line per URL; 0 when all
// were added.
int run_add_command(const std::string& data_dir, CommandArgs args);

}  // namespace rg
