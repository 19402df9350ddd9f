#include "cli/set_url_command.h"

#include <cstdio>
#include <vector>

#include "cli/row_numbers.h"
#include "cli/tool_session.h"
#include "engine/address_change.h"

namespace rg {

namespace {

constexpr std::size_t kSetUrlArguments = 2;  // ROW URL

}  // namespace

int run_set_url_command(const std::string& data_dir, CommandArgs args) {
    for (const std::string_view arg : args) {
        if (arg.size() > 1 && arg.starts_with("-"))
            return usage_error("'set-url' has no option '" + std::string(arg) + "'");
    }
    if (args.size() != kSetUrlArguments)
        return usage_error("'set-url' takes one row number and one URL");
    const auto numbers = parse_row_numbers({args[0]});
    if (!numbers)
        return kExitUsage;
    // The URL is checked before the list is touched: a refused one changes nothing.
    const std::optional<ToolUrl> url = checked_url(args[1]);
    if (!url)
        return kExitFailure;

    ToolSession s(data_dir);
    if (!open_tool_session(data_dir, s))
        return kExitFailure;
    const auto rows = rows_in_list(*numbers, s.list.count());
    if (!rows)
        return kExitFailure;
    const std::int32_t number = numbers->front();
    const DownloadList::ItemPtr item = s.list.shared_at(rows->front());
    const std::string name = item->file_name();
    const Credentials* given = url->credentials ? &*url->credentials : nullptr;

    switch (change_item_address(*item, url->url, given)) {
        case AddressChange::Running:
            std::fprintf(stderr, "rlg: row %d (%s) is running: pause it before changing its URL\n",
                         number, name.c_str());
            return kExitFailure;
        case AddressChange::TooLong:
            std::fprintf(stderr, "rlg: %s: the URL is too long\n", url->url.c_str());
            return kExitFailure;
        case AddressChange::Unchanged:
            if (given != nullptr && !s.list_file.save(s.list))
                return kExitFailure;
            std::printf("row %d (%s) has this URL already\n", number, name.c_str());
            return kExitOk;
        case AddressChange::Changed:
            break;
    }
    if (!s.list_file.save(s.list)) {
        std::fprintf(stderr, "rlg: the list could not be saved: the URL of row %d is unchanged\n",
                     number);
        return kExitFailure;
    }
    if (item->lock()->address_changed) {
        std::printf(
            "row %d (%s): URL changed; the bytes it holds are kept only if the new address serves "
            "a file of the same size\n",
            number, name.c_str());
    } else {
        std::printf("row %d (%s): URL changed\n", number, name.c_str());
    }
    return kExitOk;
}

}  // namespace rg
