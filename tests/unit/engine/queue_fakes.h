#pragma once

// Stand-ins for the Montage's media session and the session manager in the queue, pause and
// cancel tests. Nothing here powers anything off.
#include <stdexcept>
#include <vector>

#include "engine/download_item.h"
#include "engine/montage_link.h"
#include "platform/power_actions.h"

namespace rg::test {

class FakeMontage : public MontageLink {
  public:
    DownloadItem* current_item() const override { return item; }
    bool worker_running() const override { return busy; }
    // As the media session: the item goes back to Stopped; no restart is posted here (the tests
    // read restart_on_close).
    void close_media() override {
        ++closes;
        if (throw_on_close)
            throw std::runtime_error("close failed");
        if (item != nullptr) {
            restart_seen = item->restart_on_close.load();
            item->state = ItemState::Stopped;
        }
        item = nullptr;
    }

    // Holds `held` as the open media.
    void hold(DownloadItem& held) {
        item = &held;
        held.state = ItemState::MontageHeld;
    }

    DownloadItem* item = nullptr;
    bool busy = false;
    bool throw_on_close = false;
    bool restart_seen = false;
    int closes = 0;
};

class FakePower : public PowerActions {
  public:
    bool request(PowerAction action) override {
        requests.push_back(action);
        return true;
    }
    std::vector<PowerAction> requests;
};

}  // namespace rg::test
