#include "engine/info_window.h"

#include <algorithm>
#include <cstdio>

#include "engine/address_change.h"
#include "engine/credentials.h"
#include "engine/status_texts.h"
#include "protocols/url_split.h"

namespace rg {

namespace {

constexpr std::string_view kUnsignedField = "%u";

// The format's "%u" replaced by the value, which may pass 32 bits (a size).
std::string format_unsigned(std::string_view format, std::uint64_t value) {
    std::string text(format);
    const auto at = text.find(kUnsignedField);
    if (at != std::string::npos)
        text.replace(at, kUnsignedField.size(), std::to_string(value));
    return text;
}

// A URL typed with "user:password@" gives the item those credentials; one whose credentials do
// not fit the item's fields is stored as typed, and the load moves them later as it can.
void store_edited_url(DownloadItem& item, std::string_view text) {
    const UrlWithoutUserInfo taken = take_user_info(text);
    if (taken.user_info) {
        const UrlUserInfo& info = *taken.user_info;
        const EncodedCredentials typed = encode_credentials(info.user_name, info.password);
        if (typed.problem == CredentialProblem::kNone) {
            change_item_address(item, taken.url, &typed.encoded);
            return;
        }
    }
    change_item_address(item, text);
}

}  // namespace

InfoWindow::InfoWindow(Host* host, std::function<void()> state_changed)
    : host_(host), state_changed_(std::move(state_changed)) {}

InfoWindow::OpenResult InfoWindow::open(const DownloadList& list, std::int32_t caret_row) {
    if (list.empty())
        return OpenResult::EmptyList;
    if (is_open()) {
        if (host_ != nullptr) {
            host_->message_box(kInfoAlreadyOpenText, kErrorCaption, MessageButtons::Ok,
                               MessageIcon::Error);
        }
        return OpenResult::AlreadyOpen;
    }
    DownloadList::ItemPtr item = list.shared_at(caret_row);
    if (!item)
        return OpenResult::NoItem;
    if (item->state.load() != ItemState::Stopped || item->worker_active.load()) {
        if (host_ != nullptr) {
            host_->message_box(kInfoRunningText, kErrorCaption, MessageButtons::Ok,
                               MessageIcon::Error);
        }
        return OpenResult::NotStopped;
    }
    item->state = ItemState::InfoHeld;
    url_text_ = item->url();
    item_ = std::move(item);
    if (state_changed_)
        state_changed_();
    return OpenResult::Opened;
}

std::string InfoWindow::local_path() const {
    return item_ ? item_->local_path() : std::string();
}

std::vector<std::string> InfoWindow::range_rows() const {
    std::vector<std::string> rows;
    if (!item_)
        return rows;
    auto data = item_->lock();
    rows.reserve(data->ranges.count());
    for (const ByteRange& r : data->ranges.items())
        rows.push_back(format_range(r));
    return rows;
}

InfoWindow::Statistics InfoWindow::statistics() const {
    Statistics s;
    if (!item_)
        return s;
    std::uint64_t total = 0;
    std::uint32_t resumed = 0;
    std::uint32_t ranges = 0;
    {
        auto data = item_->lock();
        total = static_cast<std::uint64_t>(std::max<std::int64_t>(data->saved.total_size, 0));
        resumed = static_cast<std::uint32_t>(data->saved.resume_count);
        ranges = static_cast<std::uint32_t>(data->saved.range_count);
    }
    s.size = format_unsigned(kInfoSizeFormat, total);
    s.resumed = format_unsigned(kInfoResumedFormat, resumed);
    char text[256];
    std::snprintf(text, sizeof text, std::string(kInfoFinishedFormat).c_str(),
                  format_progress(*item_).c_str());
    s.finished = text;
    s.range_count = format_unsigned(kInfoRangeCountFormat, ranges);
    return s;
}

bool InfoWindow::delete_ranges(const std::vector<std::int32_t>& selected_rows) {
    if (!item_)
        return false;
    std::vector<std::int32_t> rows;
    {
        auto data = item_->lock();
        const auto count = static_cast<std::int32_t>(data->ranges.count());
        for (const std::int32_t r : selected_rows) {
            if (r >= 0 && r < count)
                rows.push_back(r);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty())
        return false;
    if (host_ == nullptr ||
        host_->message_box(kDeleteRangeQuestion, kDeleteRangeCaption, MessageButtons::OkCancel,
                           MessageIcon::None) != MessageAnswer::Ok) {
        return false;
    }
    auto data = item_->lock();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        data->remove_range(static_cast<std::size_t>(*it));
    return true;
}

bool InfoWindow::clear_all() {
    if (!item_ || item_->lock()->ranges.empty())
        return false;
    if (host_ == nullptr ||
        host_->message_box(kClearDownloadQuestion, kClearDownloadCaption, MessageButtons::OkCancel,
                           MessageIcon::None) == MessageAnswer::Cancel) {
        return false;
    }
    item_->lock()->clear_ranges();
    return true;
}

RenameResult InfoWindow::change_local_filename() {
    if (!item_ || host_ == nullptr)
        return RenameResult::Cancelled;
    return rg::change_local_filename(*item_, *host_);
}

void InfoWindow::close() {
    if (!item_)
        return;
    DownloadList::ItemPtr item = std::move(item_);
    item_.reset();
    store_edited_url(*item, std::string_view(url_text_).substr(0, SavedBlock::kUrlSize - 1));
    item->state = ItemState::Stopped;
    url_text_.clear();
    if (on_closed)
        on_closed();
    if (state_changed_)
        state_changed_();
}

bool exit_confirmed(Host* host, const Settings& settings) {
    if (settings.ConfirmExit == 0 || host == nullptr)
        return true;
    return host->message_box(kExitQuestion, kExitCaption, MessageButtons::YesNo,
                             MessageIcon::None) != MessageAnswer::No;
}

}  // namespace rg
