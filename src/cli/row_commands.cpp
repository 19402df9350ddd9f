#include "cli/row_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "cli/answering_host.h"
#include "cli/controller_loop.h"
#include "cli/row_numbers.h"
#include "cli/tool_session.h"
#include "engine/command_targets.h"
#include "engine/status_texts.h"

namespace rg {

namespace {

struct RowArguments {
    std::vector<std::int32_t> numbers;
    bool flag = false;  // the command's one option was given
};

// "[FLAG] ROW..." with the flag anywhere (`flag` empty: the command has none). Nothing after a
// usage error was printed.
std::optional<RowArguments> parse_row_arguments(std::string_view command, CommandArgs args,
                                                std::string_view flag) {
    RowArguments parsed;
    std::vector<std::string_view> words;
    for (const std::string_view arg : args) {
        if (!flag.empty() && arg == flag) {
            parsed.flag = true;
        } else if (arg.starts_with("-")) {
            usage_error("'" + std::string(command) + "' has no option '" + std::string(arg) + "'");
            return std::nullopt;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        usage_error("'" + std::string(command) + "' needs at least one row number");
        return std::nullopt;
    }
    auto numbers = parse_row_numbers(words);
    if (!numbers)
        return std::nullopt;
    parsed.numbers = std::move(*numbers);
    return parsed;
}

// Opens the list and turns the typed row numbers into row indexes; nullopt after saying why.
std::optional<std::vector<std::int32_t>> open_rows(const std::string& data_dir, ToolSession& s,
                                                   const std::vector<std::int32_t>& numbers) {
    if (!open_tool_session(data_dir, s))
        return std::nullopt;
    return rows_in_list(numbers, s.list.count());
}

// A row as the command found it, kept for the report after the list has changed.
struct RowItem {
    std::int32_t number = 0;  // 1-based, as typed
    DownloadList::ItemPtr item;
    std::string name;
    std::string path;
};

std::vector<RowItem> row_items(const DownloadList& list, const std::vector<std::int32_t>& rows) {
    std::vector<RowItem> items;
    for (const std::int32_t row : rows) {
        DownloadList::ItemPtr item = list.shared_at(row);
        items.push_back({row + 1, item, item->file_name(), item->local_path()});
    }
    return items;
}

bool path_in_list(const DownloadList& list, const std::string& path) {
    for (const auto& item : list) {
        if (item->local_path() == path)
            return true;
    }
    return false;
}

bool file_exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

}  // namespace

int run_start_command(const std::string& data_dir, CommandArgs args) {
    const auto parsed = parse_row_arguments("start", args, {});
    if (!parsed)
        return kExitUsage;
    ToolSession s(data_dir);
    const auto rows = open_rows(data_dir, s, parsed->numbers);
    if (!rows)
        return kExitFailure;

    AnsweringHost host(s.host);
    ControllerLoop loop(s, host);
    const std::vector<RowItem> targets = row_items(
        s.list, command_targets(CommandId::Start, s.list, selection_of(s.list.count(), *rows)));
    if (targets.empty()) {
        std::fprintf(stderr, "rlg: the rows are running already\n");
        return kExitFailure;
    }
    for (const RowItem& target : targets)
        loop.controller().start_download(*target.item, false);
    const LoopEnd end = loop.run([&loop] { return loop.controller().running_workers() > 0; });
    if (end == LoopEnd::kInterrupted)
        return kExitInterrupted;
    const RunTally& tally = loop.tally();
    return tally.failed.empty() && tally.completed == static_cast<std::int32_t>(targets.size())
               ? kExitOk
               : kExitFailure;
}

int run_pause_command(const std::string& data_dir, CommandArgs args) {
    const auto parsed = parse_row_arguments("pause", args, "--yes");
    if (!parsed)
        return kExitUsage;
    ToolSession s(data_dir);
    const auto rows = open_rows(data_dir, s, parsed->numbers);
    if (!rows)
        return kExitFailure;

    AnsweringHost host(s.host);
    host.answer(kNonResumablePauseQuestion, parsed->flag ? MessageAnswer::Yes : MessageAnswer::No);
    Controller controller(controller_parts(s, host));
    const Selection selection = selection_of(s.list.count(), *rows);
    for (const RowItem& row : row_items(s.list, selection.selected_rows())) {
        if (row.item->state.load() != ItemState::Running)
            std::printf("row %d (%s) is not running: nothing to pause\n", row.number,
                        row.name.c_str());
    }
    const std::vector<std::int32_t> targets = command_targets(CommandId::Pause, s.list, selection);
    if (!targets.empty()) {
        controller.pause_selected(targets);
        controller.save_list();
    }
    return kExitOk;
}

int run_cancel_command(const std::string& data_dir, CommandArgs args) {
    const auto parsed = parse_row_arguments("cancel", args, "--delete");
    if (!parsed)
        return kExitUsage;
    const bool delete_files = parsed->flag;
    ToolSession s(data_dir);
    const auto rows = open_rows(data_dir, s, parsed->numbers);
    if (!rows)
        return kExitFailure;

    AnsweringHost host(s.host);
    host.answer(kCancelQuestion, delete_files ? MessageAnswer::Yes : MessageAnswer::No);
    Controller controller(controller_parts(s, host));
    const std::vector<std::int32_t> targets =
        command_targets(CommandId::Cancel, s.list, selection_of(s.list.count(), *rows));
    std::vector<RowItem> items = row_items(s.list, targets);
    if (s.settings.snapshot().CancelPrompt == 1) {
        controller.cancel_selected(targets);
    } else {
        // Without the question the files would always be kept: the option still decides.
        for (const std::int32_t row : targets)
            controller.cancel_item(row, delete_files);
    }
    // Runs that were stopped end here, and their files are deleted once they have.
    controller.stop_all();

    std::sort(items.begin(), items.end(),
              [](const RowItem& a, const RowItem& b) { return a.number < b.number; });
    bool all_done = true;
    for (const RowItem& row : items) {
        if (s.list.index_of(row.item.get()) >= 0) {
            std::fprintf(stderr, "rlg: row %d (%s) was not cancelled\n", row.number,
                         row.name.c_str());
            all_done = false;
        } else if (!delete_files) {
            std::printf("cancelled row %d (%s), file kept: %s\n", row.number, row.name.c_str(),
                        row.path.c_str());
        } else if (!file_exists(row.path)) {
            std::printf("cancelled row %d (%s), file deleted\n", row.number, row.name.c_str());
        } else if (path_in_list(s.list, row.path)) {
            std::printf("cancelled row %d (%s), file kept: another download uses %s\n", row.number,
                        row.name.c_str(), row.path.c_str());
        } else {
            std::fprintf(stderr, "rlg: cancelled row %d (%s), but %s could not be deleted\n",
                         row.number, row.name.c_str(), row.path.c_str());
            all_done = false;
        }
    }
    return all_done ? kExitOk : kExitFailure;
}

}  // namespace rg
