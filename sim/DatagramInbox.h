#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "link/UniqueFd.h"

namespace mervane::sim {

// Datagrams handed to a unit by another thread (a broadcast listener shared by several units),
// waiting for the unit's identification thread. The queue is fixed: when kCapacity datagrams
// are waiting, more are dropped, as a full socket receive buffer would drop them.
//
// Thread-safe. push() may be called at any time, also while the unit is stopped (then it drops).
class DatagramInbox {
  public:
    static constexpr size_t kCapacity = 8;

    struct Datagram {
        std::vector<uint8_t> bytes;
        sockaddr_in source{};
    };

    // Makes the queue ready and empty. False when no eventfd could be made.
    bool open();
    // Drops whatever waits and refuses more until open() again.
    void close();

    // Readable while datagrams wait; poll() it next to the unit's sockets. -1 while closed.
    int fd() const;

    // False when the datagram was dropped (closed or full).
    bool push(std::span<const uint8_t> bytes, const sockaddr_in& source);
    // The oldest waiting datagram, or nothing.
    std::optional<Datagram> take();

  private:
    mutable std::mutex mutex_;
    UniqueFd signal_;  // its counter is non-zero exactly while the queue holds something
    std::array<Datagram, kCapacity> ring_{};
    size_t first_ = 0;
    size_t count_ = 0;
};

}  // namespace mervane::sim
