// mervane-cli: reads and changes a unit's automatic ON/OFF settings without the window.

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/cli/CliProgram.h"
#include "tools/cli/InterruptWatch.h"

int main(int argc, char** argv) {
    // First, before any thread: Ctrl+C must never cut a unit's writing short.
    mervane::cli::Interruption interruption;
    const mervane::cli::InterruptWatch watch(interruption);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return mervane::cli::runCli(args, std::cin, std::cout, std::cerr, isatty(0) == 1, {}, nullptr,
                                {}, &interruption);
}
