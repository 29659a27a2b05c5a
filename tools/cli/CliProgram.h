#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "fleet/Discovery.h"
#include "fleet/Interruption.h"
#include "link/DeviceLink.h"
#include "net/AdapterSource.h"

namespace mervane::cli {

using fleet::Interruption;

// The whole of mervane-cli: parses `args` (the arguments after the program name), and for a
// command identifies the unit at HOST, opens the session, reads the settings (asking the one-shot
// question on `err`/`in` when `inputIsTerminal` and --yes is absent), carries the command out and
// closes the session. Results go to `out`, operator messages and usage errors to `err`. Returns
// the exit status (tools/cli/ExitStatus.h). Runs on the calling thread.
//
// The adapters command contacts no unit: it prints the usable local addresses from
// `adapterSource` as the window lists them, or kNoAdapterMessage on `err` (exit status 1) when
// there are none.
//
// The discover command searches the LAN (tools/cli/DiscoverCommand.h); it broadcasts on the
// adapters of `adapterSource` when no target is given.
//
// `prepareLink` is called on the fresh link before anything is sent, and `preparePlan` on a
// search's plan, for tests that aim them at simulated units; the program itself leaves both as
// they come. Without `adapterSource` the machine's own adapters are used (LinuxAdapterSource).
//
// Several hosts (more than one HOST, or --hosts) are worked on together (tools/cli/FleetCommand.h).
// `interruption`, when given, is what Ctrl+C requests (fleet/Interruption.h): a unit being
// written to is finished, the others are left alone, and the exit status is 1.
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, bool inputIsTerminal,
           const std::function<void(DeviceLink&)>& prepareLink = {},
           AdapterSource* adapterSource = nullptr,
           const std::function<void(fleet::DiscoveryPlan&)>& preparePlan = {},
           Interruption* interruption = nullptr);

}  // namespace mervane::cli
