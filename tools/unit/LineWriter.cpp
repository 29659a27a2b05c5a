#include "tools/unit/LineWriter.h"

#include <cstdio>
#include <utility>

namespace mervane::unit {

LineWriter::~LineWriter() {
    stop();
}

void LineWriter::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    waiting_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void LineWriter::start() {
    thread_ = std::thread([this] { run(); });
}

void LineWriter::line(std::string text) {
    {
        std::lock_guard lock(mutex_);
        if (lines_.size() >= kCapacity || stopping_) {
            ++dropped_;
            return;
        }
        lines_.push_back(std::move(text));
    }
    waiting_.notify_one();
}

void LineWriter::run() {
    std::vector<std::string> batch;
    for (;;) {
        size_t dropped = 0;
        {
            std::unique_lock lock(mutex_);
            waiting_.wait(lock, [this] { return stopping_ || !lines_.empty(); });
            if (lines_.empty()) return;
            batch.swap(lines_);
            dropped = std::exchange(dropped_, 0);
        }
        // One flush per batch: a busy plant costs few system calls, a quiet one is seen live.
        for (const std::string& text : batch) {
            std::fputs(text.c_str(), stdout);
            std::fputc('\n', stdout);
        }
        if (dropped > 0) {
            std::fprintf(stdout, "mervane-unit: %zu log lines dropped, standard output too slow\n",
                         dropped);
        }
        std::fflush(stdout);
        batch.clear();
    }
}

}  // namespace mervane::unit
