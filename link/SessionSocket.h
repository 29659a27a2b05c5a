#pragma once

#include "link/StopSignal.h"
#include "link/StreamIo.h"
#include "link/UniqueFd.h"

namespace mervane {

// The TCP stream socket over which unit commands travel. Owns its descriptor; at most one
// connection at a time (open() replaces whatever was open before).
class SessionSocket final : public StreamIo {
  public:
    SessionSocket() = default;
    ~SessionSocket() override { close(); }
    SessionSocket(const SessionSocket&) = delete;
    SessionSocket& operator=(const SessionSocket&) = delete;

    // Creates a new IPv4 stream socket, closing any previous one. False with the thread's last
    // socket error set when the system refuses.
    bool open();
    // Takes over a stream socket that is already connected (one end of a socket pair, in tests).
    void adopt(UniqueFd connected);
    void close();
    bool isOpen() const { return handle_.valid(); }
    int fd() const { return handle_.get(); }

    long sendSome(std::span<const uint8_t> bytes) override;
    long receiveSome(std::span<uint8_t> bytes) override;
    size_t discardUnread() override;

    // While open, the socket is watched by `signal` (if any), so a stop request ends a blocked
    // connect or receive on it.
    void watchWith(StopSignal* signal) { stopSignal_ = signal; }

  private:
    UniqueFd handle_;
    StopSignal* stopSignal_ = nullptr;
};

}  // namespace mervane
