#pragma once

#include "link/StreamIo.h"
#include "link/UniqueFd.h"

namespace mervane {

// The TCP stream socket over which unit commands travel. Owns its descriptor; at most one
// connection at a time (open() replaces whatever was open before).
class SessionSocket final : public StreamIo {
  public:
    // Creates a new IPv4 stream socket, closing any previous one. False with the thread's last
    // socket error set when the system refuses.
    bool open();
    void close() { handle_.reset(); }
    bool isOpen() const { return handle_.valid(); }
    int fd() const { return handle_.get(); }

    long sendSome(std::span<const uint8_t> bytes) override;
    long receiveSome(std::span<uint8_t> bytes) override;

  private:
    UniqueFd handle_;
};

}  // namespace mervane
