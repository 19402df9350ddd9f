#include "cli/list_command.h"

#include <cstdio>
#include <vector>

#include "cli/row_texts.h"
#include "cli/terminal_host.h"
#include "cli/tool_session.h"
#include "engine/download_list.h"
#include "engine/list_file.h"

namespace rg {

namespace {

constexpr std::size_t kWidestName = 48;
// Width of the row number column: up to 999 rows line up, more still print whole.
constexpr int kNumberWidth = 3;

void print_details(DownloadItem& item) {
    bool scheduled = false;
    {
        auto data = item.lock();
        scheduled = data->saved.scheduled != 0;
    }
    std::printf("%*s  URL: %s\n%*s  File: %s\n%*s  Scheduled: %s\n", kNumberWidth, "",
                item.url().c_str(), kNumberWidth, "", item.local_path().c_str(), kNumberWidth, "",
                scheduled ? "yes" : "no");
}

}  // namespace

int run_list_command(const std::string& data_dir, CommandArgs args) {
    bool details = false;
    for (const std::string_view arg : args) {
        if (arg == "-l" || arg == "--long")
            details = true;
        else
            return usage_error("'list' has no argument '" + std::string(arg) + "'");
    }
    TerminalHost host;
    ListFile file(data_dir, host);
    if (!open_list_file(data_dir, file))
        return kExitFailure;
    DownloadList list;
    file.load(list);
    if (list.empty()) {
        std::printf("The download list is empty.\n");
        return kExitOk;
    }
    std::vector<RowTexts> rows;
    rows.reserve(static_cast<std::size_t>(list.count()));
    for (const auto& item : list)
        rows.push_back(row_texts(*item));
    const RowColumns columns = columns_for(rows, kWidestName);
    for (std::int32_t i = 0; i < list.count(); ++i) {
        std::printf("%*d  %s\n", kNumberWidth, i + 1,
                    row_line(rows[static_cast<std::size_t>(i)], columns, true).c_str());
        if (details)
            print_details(*list.item_at(i));
    }
    return kExitOk;
}

}  // namespace rg
