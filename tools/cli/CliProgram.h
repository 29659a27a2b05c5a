#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "link/DeviceLink.h"

namespace mervane::cli {

// The whole of mervane-cli: parses `args` (the arguments after the program name), and for a
// command identifies the unit at HOST, opens the session, reads the settings (asking the one-shot
// question on `err`/`in` when `inputIsTerminal` and --yes is absent), carries the command out and
// closes the session. Results go to `out`, operator messages and usage errors to `err`. Returns
// the exit status (tools/cli/ExitStatus.h). Runs on the calling thread.
//
// `prepareLink` is called on the fresh link before anything is sent, for tests that aim it at a
// simulated unit; the program itself leaves the link as it comes.
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, bool inputIsTerminal,
           const std::function<void(DeviceLink&)>& prepareLink = {});

}  // namespace mervane::cli
