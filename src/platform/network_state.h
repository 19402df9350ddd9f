#pragma once

namespace rg {

// Whether the user has put the machine into an offline mode that transfers must respect. This
// platform has no such mode, so the system's answer is always "online"; tests substitute their
// own.
class NetworkState {
  public:
    virtual ~NetworkState() = default;
    virtual bool offline_by_user() = 0;
    virtual void go_online() = 0;
};

NetworkState& system_network_state();

}  // namespace rg
