#include "cli/add_command.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "cli/answering_host.h"
#include "cli/interrupt.h"
#include "cli/tool_session.h"
#include "intake/add_download.h"
#include "intake/url_list_expansion.h"

namespace rg {

namespace {

// Every refusal the intake would show in a message box; the command prints it on the URL's line.
constexpr AddStatus kShownRefusals[] = {
    AddStatus::kEncodingFailed, AddStatus::kInvalidProtocol,    AddStatus::kInvalidHost,
    AddStatus::kAlreadyListed,  AddStatus::kCredentialsTooLong, AddStatus::kCredentialsUnusable};

struct AddOptions {
    std::vector<std::string_view> sources;  // URLs and patterns
    std::string folder = ".";
    std::optional<std::string> user_name;
    std::optional<std::string> password;
    bool scheduled = true;
};

// Nothing after a usage error was printed.
std::optional<AddOptions> parse_add_options(CommandArgs args) {
    AddOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool takes_value = arg == "-d" || arg == "--user" || arg == "--password";
        if (takes_value && i + 1 >= args.size()) {
            usage_error(std::string(arg) + " needs a value");
            return std::nullopt;
        }
        if (arg == "-d") {
            options.folder = std::string(args[++i]);
        } else if (arg == "--user") {
            options.user_name = std::string(args[++i]);
        } else if (arg == "--password") {
            options.password = std::string(args[++i]);
        } else if (arg == "--not-scheduled") {
            options.scheduled = false;
        } else if (arg.starts_with("-")) {
            usage_error("'add' has no option '" + std::string(arg) + "'");
            return std::nullopt;
        } else {
            options.sources.push_back(arg);
        }
    }
    if (options.sources.empty()) {
        usage_error("'add' needs at least one URL");
        return std::nullopt;
    }
    if (options.password && !options.user_name) {
        usage_error("--password needs --user");
        return std::nullopt;
    }
    return options;
}

std::string_view describe(ExpandProblem problem) {
    switch (problem) {
        case ExpandProblem::kNone:
            return "no problem";
        case ExpandProblem::kTooManyUrls:
            return "it makes too many URLs";
        case ExpandProblem::kTooLong:
            return "it makes a URL that is too long";
        case ExpandProblem::kControlCharacters:
            return "its letters run over characters that cannot be in a URL";
    }
    return "it cannot be expanded";
}

// The URLs of all sources, within kMostAddedUrls in all; false when a line was refused (printed).
bool expand_sources(const std::vector<std::string_view>& sources, std::vector<std::string>& urls) {
    bool all_expanded = true;
    std::size_t bytes = 0;
    const ExpandLimits most;
    for (const std::string_view source : sources) {
        const std::size_t before = urls.size();
        const ExpandLimits left{kMostAddedUrls - std::min(urls.size(), kMostAddedUrls),
                                most.longest_url, most.most_bytes - bytes};
        const ExpandResult result = expand_url_list(source, urls, left);
        for (std::size_t i = before; i < urls.size(); ++i)
            bytes += urls[i].size();
        for (const ExpandRefusal& refusal : result.refused) {
            std::fprintf(stderr, "rlg: %s: not added: %s\n", refusal.excerpt.c_str(),
                         std::string(describe(refusal.problem)).c_str());
            all_expanded = false;
        }
    }
    return all_expanded;
}

}  // namespace

int run_add_command(const std::string& data_dir, CommandArgs args) {
    const auto options = parse_add_options(args);
    if (!options)
        return kExitUsage;
    std::vector<std::string> urls;
    bool all_added = expand_sources(options->sources, urls);
    if (urls.empty()) {
        if (all_added)
            std::fprintf(stderr, "rlg: no URL given\n");
        return kExitFailure;
    }
    const auto folder = absolute_folder(options->folder);
    if (!folder)
        return kExitFailure;
    ToolSession s(data_dir);
    if (!open_tool_session(data_dir, s))
        return kExitFailure;

    AnsweringHost host(s.host);
    for (const AddStatus status : kShownRefusals)
        host.silence(add_refusal_message(status).text);
    // The list is saved once, after the last URL, rather than after every one.
    bool changed = false;
    AddContext context{s.list,
                       s.settings,
                       s.passwords,
                       host,
                       [&changed] {
                           changed = true;
                           return true;
                       },
                       {}};
    // Ctrl+C ends the adding; what was added is saved.
    install_interrupt_handlers();
    for (const std::string& url : urls) {
        if (interrupted())
            break;
        AddRequest request;
        request.folder = *folder;
        request.url = url;
        request.user_name = options->user_name;
        request.password = options->password;
        request.scheduled = options->scheduled;
        request.existing = ExistingFile::kNumber;
        const AddResult result = add_download(context, request);
        if (result.status == AddStatus::kAdded) {
            std::printf("added %s -> %s\n", result.item->url().c_str(),
                        result.item->local_path().c_str());
        } else {
            std::fprintf(stderr, "rlg: %s: not added: %s\n", url.c_str(),
                         std::string(describe(result.status)).c_str());
            all_added = false;
        }
    }
    std::fflush(stdout);
    if (changed && !s.list_file.save(s.list))
        return kExitFailure;
    if (interrupted())
        return kExitInterrupted;
    return all_added ? kExitOk : kExitFailure;
}

}  // namespace rg
