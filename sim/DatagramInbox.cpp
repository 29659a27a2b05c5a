#include "sim/DatagramInbox.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace mervane::sim {

bool DatagramInbox::open() {
    std::lock_guard lock(mutex_);
    first_ = 0;
    count_ = 0;
    signal_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    return signal_.valid();
}

void DatagramInbox::close() {
    std::lock_guard lock(mutex_);
    signal_.reset();
    for (Datagram& waiting : ring_) {
        waiting.bytes = {};
    }
    count_ = 0;
}

int DatagramInbox::fd() const {
    std::lock_guard lock(mutex_);
    return signal_.get();
}

bool DatagramInbox::push(std::span<const uint8_t> bytes, const sockaddr_in& source) {
    std::lock_guard lock(mutex_);
    if (!signal_.valid() || count_ == kCapacity) return false;
    ring_[(first_ + count_) % kCapacity] = {{bytes.begin(), bytes.end()}, source};
    ++count_;
    const uint64_t one = 1;
    // The counter only has to be non-zero: a failed write (already huge) loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(signal_.get(), &one, sizeof one);
    return true;
}

std::optional<DatagramInbox::Datagram> DatagramInbox::take() {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return std::nullopt;
    Datagram oldest = std::move(ring_[first_]);
    first_ = (first_ + 1) % kCapacity;
    --count_;
    if (count_ == 0) {
        // Reset under the lock, so the descriptor stays readable exactly while something waits.
        uint64_t counter = 0;
        [[maybe_unused]] const ssize_t read = ::read(signal_.get(), &counter, sizeof counter);
    }
    return oldest;
}

}  // namespace mervane::sim
