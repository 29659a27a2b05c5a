// The window's command line: any arguments give a time-out in range, or the one it had.
//
// Input: the arguments, separated by NUL bytes.

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    constexpr int32_t kBefore = 15000;
    const int32_t timeout = mervane::parseCommandLine(args, kBefore);
    if (timeout != kBefore &&
        (timeout < mervane::kMinIdentTimeoutMs || timeout > mervane::kMaxIdentTimeoutMs)) {
        std::abort();
    }
    return 0;
}
