#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/FailingPresenter.h"
#include "bench/WindowThreadWatch.h"
#include "link/DeviceLink.h"
#include "net/AdapterSource.h"
#include "ui/DiscoveryDialog.h"
#include "ui/MervaneDlg.h"

namespace mervane::bench {

// One made-up adapter, 127.1.255.254/16 on loopback, so that the window has a network to search
// from without ever touching the machine's own.
class LoopbackAdapter final : public AdapterSource {
  public:
    std::optional<std::vector<InterfaceRecord>> interfaces() override;
    std::optional<std::vector<AddressRow>> ipv4Addresses() override;
};

// The program's window as an operator opens it, and its plant list, driven by clicks. The plant
// list searches only the range it is given (no broadcast), answers its questions Yes and takes
// the profile set here; any message box ends the benchmark.
class PlantWindow {
  public:
    explicit PlantWindow(WindowThreadWatch& watch);
    ~PlantWindow();

    // Shows the window and waits until its first frame is out.
    void show();
    // "検索...": opens the plant list and waits for its search of first..last (host order,
    // ports 30718 and 10003) to end.
    WatchedStep openList(uint32_t first, uint32_t last, int limitMs);
    DiscoveryDialog& list() { return *window_->discoveryDialog(); }
    // Clicks the plant list's buttons in turn, the last starting an action, and waits for that
    // action to end. The step's time runs until the action reports its end.
    WatchedStep act(const std::vector<const char*>& buttons, int limitMs, int settleMs = 200);
    // Closes the plant list and waits until it is gone.
    void closeList();
    void setProfile(std::string path) { profilePath_ = std::move(path); }

  private:
    WindowThreadWatch& watch_;
    DeviceLink link_;
    LoopbackAdapter adapters_;
    FailingPresenter presenter_{"mervane-bench-plant"};
    std::unique_ptr<CMervaneDlg> window_;
    std::string profilePath_;
};

}  // namespace mervane::bench
