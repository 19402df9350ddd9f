#include "cli/montage_command.h"

#include <cstdio>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/montage_args.h"
#include "cli/montage_report.h"
#include "cli/montage_run.h"
#include "montage/contact_sheet.h"
#include "montage/frame_entry.h"
#include "montage/frame_export.h"

namespace rg {

namespace {

constexpr std::string_view kInterruptedText = "interrupted";

void report_failure(const MontageTarget& target, std::string_view text) {
    std::fprintf(stderr, "rlg: %s: %s\n", target.url.c_str(), std::string(text).c_str());
}

// Why a run ended without all it was asked for: Ctrl-C, or `failure` (when not empty).
void report_end(const MontageRun& run, const MontageTarget& target, std::string_view failure) {
    if (run.was_interrupted())
        report_failure(target, kInterruptedText);
    else if (!failure.empty())
        report_failure(target, failure);
}

// The exit code of a run that got as far as it could: 130 after Ctrl-C.
int failure_code(const MontageRun& run) {
    return run.was_interrupted() ? kExitInterrupted : kExitFailure;
}

void print_fetched(const MontageRun& run) {
    std::printf("%s\n", fetched_line(run.stats()).c_str());
    std::fflush(stdout);
}

// Ends a run whose media did not open: the bytes fetched for it are kept in the list.
int open_failed(MontageRun& run, const MontageTarget& target) {
    run.close_and_save();
    print_fetched(run);
    report_end(run, target, run.error());
    return failure_code(run);
}

// Why a fetch that added `added` frames failed; empty when it did not.
std::string fetch_failure(MontageRun& run, std::size_t added) {
    std::string failure = run.frame_error();
    if (failure.empty() && added == 0)
        failure = run.view().status();
    return failure;
}

bool write_sheet(const std::vector<StoryboardEntry>& entries, const std::string& path) {
    std::vector<const StoryboardEntry*> pointers;
    pointers.reserve(entries.size());
    for (const StoryboardEntry& entry : entries)
        pointers.push_back(&entry);
    const auto count = static_cast<std::int32_t>(pointers.size());
    const ContactSheet sheet = write_contact_sheet(pointers, path, sheet_options(count));
    if (!sheet.ok()) {
        std::fprintf(stderr, "rlg: %s: the contact sheet was not written: %s\n", path.c_str(),
                     sheet.detail.c_str());
        return false;
    }
    std::printf("contact sheet %s\n", path.c_str());
    return true;
}

int run_montage(const std::string& data_dir, const MontageOptions& options) {
    MontageRun run(data_dir);
    if (!run.start(options.target, options.frame_count))
        return kExitFailure;
    if (!run.open(true))
        return open_failed(run, options.target);

    const std::vector<StoryboardEntry> entries = run.view().take_entries();
    const std::string failure = fetch_failure(run, entries.size());
    const bool saved = run.close_and_save();
    bool written = true;
    if (!entries.empty()) {
        const std::string path =
            options.sheet_path.empty()
                ? default_sheet_path(options.target.folder, run.item().file_name())
                : options.sheet_path;
        written = write_sheet(entries, path);
    }
    for (const StoryboardEntry& entry : entries)
        std::printf("%s\n", frame_line(entry).c_str());
    print_fetched(run);
    report_end(run, options.target, failure);
    if (run.was_interrupted())
        return kExitInterrupted;
    return failure.empty() && written && saved ? kExitOk : kExitFailure;
}

// The 0-based index of the frame asked for; -1 when it is outside the video.
std::int64_t frame_index(const FrameOptions& options, const MediaHeader& header) {
    const std::int64_t index = options.number ? static_cast<std::int64_t>(*options.number) - 1
                                              : time_to_frame(*options.time, frame_rate(header));
    return index >= 0 && index < static_cast<std::int64_t>(header.frame_count) ? index : -1;
}

int run_frame(const std::string& data_dir, const FrameOptions& options) {
    MontageRun run(data_dir);
    if (!run.start(options.target, std::nullopt))
        return kExitFailure;
    if (!run.open(false))
        return open_failed(run, options.target);

    const std::optional<MediaHeader> header = run.header();
    const std::int64_t index = header ? frame_index(options, *header) : -1;
    if (index < 0) {
        run.close_and_save();
        print_fetched(run);
        report_failure(options.target, "the video has no such frame (it has " +
                                           std::to_string(header ? header->frame_count : 0) +
                                           " frames)");
        return kExitFailure;
    }
    if (!run.was_interrupted())
        run.get_frame(static_cast<std::uint32_t>(index + 1));

    const std::vector<StoryboardEntry> entries = run.view().take_entries();
    const std::string failure = fetch_failure(run, entries.size());
    const bool saved = run.close_and_save();
    if (entries.empty()) {
        print_fetched(run);
        report_end(run, options.target, failure);
        return failure_code(run);
    }
    const SaveResult result = write_picture(entries.front().picture, options.output_path,
                                            format_for_path(options.output_path));
    if (result.ok())
        std::printf("%s\n", frame_line(entries.front()).c_str());
    print_fetched(run);
    if (!result.ok()) {
        std::fprintf(stderr, "rlg: %s: the picture was not written: %s\n",
                     options.output_path.c_str(), result.detail.c_str());
        return kExitFailure;
    }
    return saved ? kExitOk : kExitFailure;
}

}  // namespace

int run_montage_command(const std::string& data_dir, std::span<const std::string_view> args) {
    auto parsed = parse_montage_args(args);
    if (const auto* error = std::get_if<std::string>(&parsed))
        return usage_error(*error);
    return run_montage(data_dir, std::get<MontageOptions>(parsed));
}

int run_frame_command(const std::string& data_dir, std::span<const std::string_view> args) {
    auto parsed = parse_frame_args(args);
    if (const auto* error = std::get_if<std::string>(&parsed))
        return usage_error(*error);
    return run_frame(data_dir, std::get<FrameOptions>(parsed));
}

}  // namespace rg
