#include "support/controller_harness.h"

#include <filesystem>

#include "settings/http_options.h"

namespace rg::test {

ControllerHarness::ControllerHarness() {
    std::filesystem::create_directory(out_);
}

// The controller's last messages still reach the sets it fills.
ControllerHarness::~ControllerHarness() {
    controller.reset();
}

bool ControllerHarness::start() {
    if (list_file.open() != ListFile::OpenResult::Opened)
        return false;
    passwords.load();
    apply_settings();
    controller = std::make_unique<Controller>(Controller::Parts{
        &list, &list_file, &settings, &passwords, &http, &host, now, montage, power, clock_time});
    controller->on_worker_exited = [this](const DownloadItem& item) { exited.insert(&item); };
    controller->on_completed = [this](const DownloadItem& item) { completed.insert(&item); };
    return true;
}

void ControllerHarness::apply_settings() {
    http.set_options(http_session_options(settings.snapshot(), ""));
}

DownloadList::ItemPtr ControllerHarness::add(const std::string& url, const std::string& name,
                                             bool resumable) {
    const std::string path = out_ + "/" + name;
    DownloadItem& item = list.append_item();
    {
        auto data = item.lock();
        data->set_url(url);
        data->set_local_path(path);
        data->saved.resumable = resumable ? 1 : 0;
    }
    item.connection.protocol = protocol_for_url(url);
    if (!std::filesystem::exists(path))
        write_file(path, "");
    return list.shared_at(list.count() - 1);
}

bool ControllerHarness::run(DownloadItem& item, const std::function<void()>& each_turn,
                            std::chrono::seconds deadline) {
    // An item freed earlier may have had this address: what was noted of it is not this run's.
    exited.erase(&item);
    completed.erase(&item);
    controller->start_download(item, false);
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!exited.count(&item)) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        controller->process_messages(std::chrono::milliseconds(10));
        controller->run_due_timers(tick_count());
        if (each_turn)
            each_turn();
    }
    return true;
}

}  // namespace rg::test
