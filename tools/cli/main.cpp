// mervane-cli: reads and changes a unit's automatic ON/OFF settings without the window.

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/cli/CheckedOutput.h"
#include "tools/cli/CliProgram.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/InterruptWatch.h"

int main(int argc, char** argv) {
    // A reader that goes away (`| head`) must cost the output, never a unit's writing half done:
    // writes to a closed pipe fail with EPIPE instead of ending the process.
    signal(SIGPIPE, SIG_IGN);
    // First, before any thread: Ctrl+C must never cut a unit's writing short.
    mervane::fleet::Interruption interruption;
    const mervane::cli::InterruptWatch watch(interruption);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    mervane::cli::CheckedOutput output(STDOUT_FILENO);
    std::ostream out(&output);
    const int status = mervane::cli::runCli(args, std::cin, out, std::cerr, isatty(0) == 1, {},
                                            nullptr, {}, &interruption);
    out.flush();
    if (output.error() != 0) {
        // A script must not take a run whose results it never got for a success.
        std::cerr << "mervane-cli: cannot write the output: " << std::strerror(output.error())
                  << '\n';
        return mervane::cli::kExitFailed;
    }
    return status;
}
