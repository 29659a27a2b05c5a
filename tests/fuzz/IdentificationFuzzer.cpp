// The identification exchange over real UDP sockets on loopback, answered datagram by datagram
// as the fuzzer says: silence, replies of any size and content, duplicates, and replies from
// another host. Whatever arrives, the exchange ends, keeps no socket open, and only ever takes
// a replying host for the unit.
//
// Input: one event per request the "unit" receives, in order. Tag 0xFF: no reply. 0xFE: the next
// reply comes from another host (127.0.0.2). 0xFD: the next reply is sent twice. Otherwise the
// tag is the reply's length and its bytes follow. Once the input is used up, every request is
// answered with a datagram larger than any reply, which ends the exchange at once instead of
// after a time-out.

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "link/DeviceLink.h"
#include "link/Identification.h"
#include "link/UniqueFd.h"
#include "tests/OpenDescriptors.h"
#include "tests/fuzz/FuzzInput.h"

using namespace mervane;

namespace {

constexpr uint8_t kSilent = 0xFF;
constexpr uint8_t kFromOtherHost = 0xFE;
constexpr uint8_t kTwice = 0xFD;
constexpr int32_t kIdentTimeoutMs = 5;
constexpr size_t kOversized = kE7ReplyMax + 1;

UniqueFd boundSocket(int type, const char* address) {
    UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &local.sin_addr);
    if (!fd.valid() ||
        ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::abort();
    }
    return fd;
}

uint16_t portOf(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

// The two hosts that may answer, and a TCP port where nobody listens (bound, never listening),
// so the probe after a complete exchange is refused at once. Kept for the whole run.
struct Hosts {
    UniqueFd unit = boundSocket(SOCK_DGRAM, "127.0.0.1");
    UniqueFd other = boundSocket(SOCK_DGRAM, "127.0.0.2");
    UniqueFd closedTcp = boundSocket(SOCK_STREAM, "0.0.0.0");
    UniqueFd finished{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};

    void discardStaleRequests() const {
        std::array<uint8_t, 64> buffer{};
        for (const int fd : {unit.get(), other.get()}) {
            while (::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT) >= 0) {
            }
        }
    }
};

// Answers requests until `hosts.finished` is signalled.
void answer(const Hosts& hosts, fuzzing::FuzzInput& input) {
    std::array<pollfd, 3> fds{pollfd{hosts.unit.get(), POLLIN, 0},
                              pollfd{hosts.other.get(), POLLIN, 0},
                              pollfd{hosts.finished.get(), POLLIN, 0}};
    std::array<uint8_t, 64> request{};
    static const std::array<uint8_t, kOversized> kEndOfInput{};
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) <= 0) continue;
        if (fds[2].revents & POLLIN) {
            uint64_t count = 0;
            (void)::read(hosts.finished.get(), &count, sizeof count);
            return;
        }
        for (const pollfd& ready : std::span(fds).first(2)) {
            if ((ready.revents & POLLIN) == 0) continue;
            sockaddr_in link{};
            socklen_t length = sizeof link;
            if (::recvfrom(ready.fd, request.data(), request.size(), 0,
                           reinterpret_cast<sockaddr*>(&link), &length) < 0) {
                continue;
            }
            if (input.empty()) {
                ::sendto(ready.fd, kEndOfInput.data(), kEndOfInput.size(), 0,
                         reinterpret_cast<sockaddr*>(&link), length);
                continue;
            }
            uint8_t tag = input.byte();
            int from = ready.fd;
            int copies = 1;
            if (tag == kSilent) continue;
            if (tag == kFromOtherHost) {
                from = ready.fd == hosts.unit.get() ? hosts.other.get() : hosts.unit.get();
                tag = input.byte();
            } else if (tag == kTwice) {
                copies = 2;
                tag = input.byte();
            }
            const auto reply = input.bytes(tag);
            for (int i = 0; i < copies; ++i) {
                ::sendto(from, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&link),
                         length);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Hosts hosts;
    hosts.discardStaleRequests();
    const int descriptorsBefore = testing::openDescriptorCount();

    fuzzing::FuzzInput input(data, size);
    testing::CountingClock clock;
    DeviceLink link(clock);
    link.setIdentificationPort(portOf(hosts.unit.get()));
    std::thread unit(answer, std::cref(hosts), std::ref(input));
    const int status =
        identifyUnit(link, kIdentTimeoutMs, portOf(hosts.closedTcp.get()), "127.0.0.1");
    const uint64_t one = 1;
    (void)::write(hosts.finished.get(), &one, sizeof one);
    unit.join();

    if (status == 0) std::abort();  // nothing listens on the TCP port
    if (testing::openDescriptorCount() != descriptorsBefore) std::abort();
    const uint32_t unitHost = ntohl(link.identity().unitAddress.sin_addr.s_addr);
    if (unitHost != 0 && unitHost != 0x7F000001 && unitHost != 0x7F000002) std::abort();
    return 0;
}
