#include "fleet/JobPool.h"

#include <algorithm>
#include <system_error>

namespace mervane::fleet {

JobPool::JobPool(int limit) : limit_(static_cast<size_t>(std::max(limit, 1))) {}

JobPool::~JobPool() {
    finish();
}

bool JobPool::submit(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    if (closed_) return false;
    queue_.push_back(std::move(job));
    if (idle_ > 0) wake_.notify_one();
    // A woken thread counts as idle until it runs, so a burst must be measured against the idle
    // threads, or every job of it would wait for the one thread woken.
    if (queue_.size() <= idle_ || threads_.size() >= limit_) return true;
    try {
        threads_.emplace_back(&JobPool::work, this);
        ++started_;
        return true;
    } catch (const std::system_error&) {
        if (!threads_.empty()) return true;  // the running threads will get to it
    }
    // No thread at all: run it here rather than lose it.
    std::function<void()> only = std::move(queue_.back());
    queue_.pop_back();
    lock.unlock();
    only();
    return true;
}

void JobPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return closed_ || !queue_.empty(); });
        --idle_;
        if (queue_.empty()) return;  // closed and nothing left
        std::function<void()> job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

void JobPool::finish() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

void JobPool::abandon() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
    }
    wake_.notify_all();
}

size_t JobPool::threadsStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}

}  // namespace mervane::fleet
