#include "intake/add_download.h"

#include <filesystem>
#include <system_error>

#include "engine/controller.h"
#include "engine/credentials.h"
#include "intake/file_naming.h"
#include "intake/url_canonical.h"
#include "platform/ascii_text.h"
#include "platform/local_file.h"

namespace rg {

namespace {

// A host that keeps answering Yes while offering the same unusable file would loop for ever.
constexpr int kMostChoiceRounds = 100;

void show_refusal(Host& host, AddStatus status) {
    const AddMessage message = add_refusal_message(status);
    if (!message.text.empty())
        host.message_box(message.text, message.caption, MessageButtons::Ok, MessageIcon::Error);
}

bool ask_yes(Host& host, std::string_view text, std::string_view caption) {
    return host.message_box(text, caption, MessageButtons::YesNo, MessageIcon::Question) ==
           MessageAnswer::Yes;
}

bool url_is_listed(const DownloadList& list, std::string_view url) {
    for (const auto& item : list) {
        if (equal_ignoring_case(item->url(), url))
            return true;
    }
    return false;
}

bool path_is_used(const DownloadList& list, std::string_view path) {
    for (const auto& item : list) {
        if (equal_ignoring_case(item->local_path(), path))
            return true;
    }
    return false;
}

// Anything at the path counts, a dangling link too: a new file is never made through a link.
bool something_exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// An existing file is emptied, a missing one created; a folder, device or pipe is refused.
bool create_empty_file(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return false;
    const auto file = LocalFile::open(path, LocalFile::Mode::ReadWrite);
    return file && file->truncate(0);
}

std::string join_path(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path.append(name);
}

enum class ChooserOutcome { kChosen, kCancelled, kFailed };

// The save-file chooser as the platform dialog behaves: a proposal or an answer that does not
// fit the path field is a failure of the dialog, not a choice.
ChooserOutcome ask_chooser(Host& host, const std::string& proposed, std::string& chosen) {
    if (proposed.size() > kLocalPathMax)
        return ChooserOutcome::kFailed;
    const auto answer = host.choose_save_file(
        proposed, FileFilter{std::string(kAllFilesText), std::string(kAllFilesPattern)});
    if (!answer)
        return ChooserOutcome::kCancelled;
    if (answer->empty() || answer->size() > kLocalPathMax ||
        answer->find('\0') != std::string::npos)
        return ChooserOutcome::kFailed;
    chosen = *answer;
    return ChooserOutcome::kChosen;
}

AddStatus choose_file(Host& host, bool no_fallback, std::string& path) {
    std::string chosen;
    switch (ask_chooser(host, path, chosen)) {
        case ChooserOutcome::kChosen:
            path = std::move(chosen);
            return AddStatus::kAdded;
        case ChooserOutcome::kCancelled:
            return AddStatus::kCancelled;
        case ChooserOutcome::kFailed:
            break;
    }
    if (no_fallback)
        return AddStatus::kChooserFailed;
    if (ask_chooser(host, std::string(kRetryFileName), chosen) != ChooserOutcome::kChosen)
        return AddStatus::kChooserFailed;
    path = std::move(chosen);
    return AddStatus::kAdded;
}

enum class Step { kChoose, kCheckUse, kCreate, kDone };

// Picks and creates the local file, starting from the path the URL proposes. Runs until a file
// is usable, the user says No, or the chooser gives up.
AddStatus settle_local_file(AddContext& context, const AddRequest& request, std::string_view name,
                            std::string& path) {
    Step step = Step::kChoose;
    if (request.folder) {
        if (!something_exists(path) && path.size() <= kLocalPathMax) {
            step = Step::kCheckUse;
        } else if (request.existing == ExistingFile::kNumber) {
            const auto free = free_local_path(*request.folder, name);
            if (!free || free->size() > kLocalPathMax)
                return AddStatus::kNoFreeName;
            path = *free;
            step = Step::kCheckUse;
        }
    }
    for (int round = 0; step != Step::kDone;) {
        switch (step) {
            case Step::kChoose: {
                if (++round > kMostChoiceRounds)
                    return AddStatus::kChooserFailed;
                const AddStatus chosen = choose_file(context.host, request.no_fallback, path);
                if (chosen != AddStatus::kAdded)
                    return chosen;
                step = Step::kCheckUse;
                break;
            }
            case Step::kCheckUse:
                if (!path_is_used(context.list, path)) {
                    step = Step::kCreate;
                } else if (ask_yes(context.host, kFileInUseQuestion, kFileInUseCaption)) {
                    step = Step::kChoose;
                } else {
                    return AddStatus::kFileInUse;
                }
                break;
            case Step::kCreate:
                if (create_empty_file(path)) {
                    step = Step::kDone;
                } else if (ask_yes(context.host, kFileLockedQuestion, kErrorCaption)) {
                    step = Step::kChoose;
                } else {
                    return AddStatus::kFileNotCreated;
                }
                break;
            case Step::kDone:
                break;
        }
    }
    return AddStatus::kAdded;
}

struct GivenCredentials {
    AddStatus status = AddStatus::kAdded;
    std::optional<Credentials> encoded;  // none: no credentials given
};

GivenCredentials encoded(std::string_view user_name, std::string_view password) {
    const EncodedCredentials result = encode_credentials(user_name, password);
    switch (result.problem) {
        case CredentialProblem::kNone:
            return {AddStatus::kAdded, result.encoded};
        case CredentialProblem::kTooLong:
            return {AddStatus::kCredentialsTooLong, std::nullopt};
        case CredentialProblem::kControlCharacter:
            break;
    }
    return {AddStatus::kCredentialsUnusable, std::nullopt};
}

// The Base64 forms of the request's credentials, checked before anything else happens.
GivenCredentials given_credentials(const AddRequest& request) {
    if (!request.user_name || request.user_name->empty())
        return {};
    return encoded(*request.user_name, request.password.value_or(std::string()));
}

// The credentials a URL carried in front of its host; typed ones take precedence.
GivenCredentials url_credentials(const std::optional<UrlUserInfo>& user_info) {
    if (!user_info || (user_info->user_name.empty() && user_info->password.empty()))
        return {};
    return encoded(user_info->user_name, user_info->password);
}

AddResult refuse(Host& host, AddStatus status) {
    show_refusal(host, status);
    return AddResult{status};
}

}  // namespace

AddContext add_context(Controller& controller, SettingsStore& settings, SitePasswordList& passwords,
                       Host& host) {
    return AddContext{
        controller.list(),
        settings,
        passwords,
        host,
        [&controller] { return controller.save_list(); },
        [&controller](DownloadItem& item) { controller.start_download(item, false); }};
}

AddResult add_download(AddContext& context, const AddRequest& request) {
    GivenCredentials credentials = given_credentials(request);
    if (credentials.status != AddStatus::kAdded)
        return refuse(context.host, credentials.status);

    CheckedUrl checked = check_new_url(request.url);
    if (checked.status != AddStatus::kAdded)
        return refuse(context.host, checked.status);
    if (!credentials.encoded) {
        credentials = url_credentials(checked.user_info);
        if (credentials.status != AddStatus::kAdded)
            return refuse(context.host, credentials.status);
    }
    if (url_is_listed(context.list, checked.url))
        return refuse(context.host, AddStatus::kAlreadyListed);

    const std::string name = proposed_file_name(checked.url);
    std::string path = request.folder ? join_path(*request.folder, name) : name;
    const AddStatus settled = settle_local_file(context, request, name, path);
    if (settled != AddStatus::kAdded)
        return AddResult{settled};

    DownloadItem& item = context.list.append_item();
    item.connection.protocol = checked.protocol;
    {
        auto data = item.lock();
        data->set_url(checked.url);
        data->set_local_path(path);
        data->saved.resumable = checked.protocol == Protocol::Http ? 1 : 0;
        data->saved.scheduled = request.scheduled ? 1 : 0;
    }
    if (credentials.encoded)
        set_item_credentials(item, *credentials.encoded);
    else
        apply_site_password(item, context.passwords);
    context.host.list_changed();

    AddResult result{AddStatus::kAdded, &item};
    result.saved = context.save_list ? context.save_list() : false;
    return result;
}

AddResult quick_add(AddContext& context, std::string_view box_text) {
    box_text = box_text.substr(0, kUrlBoxMax);
    if (box_text.empty())
        return AddResult{AddStatus::kNothingToAdd};
    AddRequest request;
    request.url = std::string(box_text);
    request.scheduled = true;
    AddResult result = add_download(context, request);
    if (result.status == AddStatus::kAdded && context.start &&
        context.settings.snapshot().AutoStartDownload == 1) {
        context.start(*result.item);
    }
    return result;
}

}  // namespace rg
