#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace mervane::fleet {

// Runs jobs on at most `limit` threads, each started only when more jobs wait than threads are
// free, so that a search finding three units starts three threads, not 256. Jobs run in the order
// they were submitted. submit() and abandon() may be called from any thread; finish() and the
// destructor from the owner's. A job's own waits are the job's to end: abandon() only drops
// queued jobs.
class JobPool {
  public:
    explicit JobPool(int limit);
    ~JobPool();  // finish()
    JobPool(const JobPool&) = delete;
    JobPool& operator=(const JobPool&) = delete;

    // Queues `job`; false (and the job dropped) after abandon() or finish().
    bool submit(std::function<void()> job);
    // Waits until every queued and running job has ended, then joins the threads.
    void finish();
    // Drops the jobs not yet begun; later submits are refused.
    void abandon();

    size_t threadsStarted() const;

  private:
    void work();

    const size_t limit_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> threads_;
    size_t idle_ = 0;
    size_t started_ = 0;
    bool closed_ = false;
};

}  // namespace mervane::fleet
