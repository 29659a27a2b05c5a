#pragma once

#include <filesystem>

namespace mervane::testing {

// How many descriptors the process has open, to show that nothing leaked.
inline int openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

}  // namespace mervane::testing
