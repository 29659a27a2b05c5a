#include "fleet/OrderedRun.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "fleet/JobPool.h"

namespace mervane::fleet {

void runInOrder(size_t count, int jobs, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& deliver) {
    std::vector<bool> done(count, false);
    std::mutex mutex;
    std::condition_variable finished;
    JobPool pool(std::min(jobs, static_cast<int>(count)));
    for (size_t i = 0; i < count; ++i) {
        pool.submit([&work, &done, &mutex, &finished, i] {
            work(i);
            {
                std::lock_guard lock(mutex);
                done[i] = true;
            }
            finished.notify_all();
        });
    }
    // Each as soon as it and those before it are done.
    for (size_t i = 0; i < count; ++i) {
        {
            std::unique_lock lock(mutex);
            finished.wait(lock, [&done, i] { return done[i]; });
        }
        deliver(i);
    }
}

}  // namespace mervane::fleet
