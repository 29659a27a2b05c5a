#pragma once

#include <cstddef>
#include <functional>

namespace mervane::fleet {

// Runs work(i) for every i in [0, count) on at most `jobs` threads of its own (a JobPool), and
// calls deliver(i) on the calling thread in index order, each as soon as work(i) and every work
// before it have ended. Returns when every work has ended and been delivered. work() runs on the
// pool's threads, several at once; it must end by itself (an interruption is the works' to
// honour). Nothing of one work stops the others.
void runInOrder(size_t count, int jobs, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& deliver);

}  // namespace mervane::fleet
