#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace mervane {

// The byte stream under the session's framing: the TCP session socket in the program, a scripted
// stream in tests and fuzzers.
class StreamIo {
  public:
    virtual ~StreamIo() = default;

    // One send. Returns the count sent, or -1 with the thread's last socket error set.
    virtual long sendSome(std::span<const uint8_t> bytes) = 0;

    // One receive of at most bytes.size() bytes, blocking up to the stream's receive time-out.
    // Returns the count received (> 0), 0 when the peer has closed the stream, or -1 with the
    // thread's last socket error set (10060 when the time-out passed).
    virtual long receiveSome(std::span<uint8_t> bytes) = 0;

    // Throws away whatever has arrived and not been read, without waiting: bytes a unit sent
    // after the exchange they belonged to had given up on them. Returns how many.
    virtual size_t discardUnread() = 0;
};

}  // namespace mervane
