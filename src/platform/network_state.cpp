#include "platform/network_state.h"

namespace rg {

namespace {

class AlwaysOnline : public NetworkState {
  public:
    bool offline_by_user() override { return false; }
    void go_online() override {}
};

}  // namespace

NetworkState& system_network_state() {
    static AlwaysOnline state;
    return state;
}

}  // namespace rg
