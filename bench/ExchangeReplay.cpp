#include "bench/ExchangeReplay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <chrono>
#include <thread>

#include "bench/Measure.h"
#include "link/UniqueFd.h"

namespace mervane::bench {

namespace {

using Channel = sim::ReceivedRecord::Channel;

constexpr int kReplyTimeoutMs = 2000;

sockaddr_in loopback(uint16_t port, uint32_t hostAddress = INADDR_LOOPBACK) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(hostAddress);
    return address;
}

UniqueFd openSocket(int type) {
    UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return fd;
    timeval timeout{kReplyTimeoutMs / 1000, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return fd;
}

const sockaddr* asSockaddr(const sockaddr_in& address) {
    return reinterpret_cast<const sockaddr*>(&address);
}

// One request, one read of its reply; the reply is not looked at.
bool roundTrip(int fd, const std::vector<uint8_t>& request) {
    std::array<uint8_t, 512> reply{};
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) return false;
    return ::recv(fd, reply.data(), reply.size(), 0) > 0;
}

// The TCP part of a connect: each connection of `records` in order, handshake included.
ReplayResult replayTcp(const std::vector<sim::ReceivedRecord>& records, uint16_t tcpPort,
                       uint32_t address) {
    ReplayResult result;
    const sockaddr_in unit = loopback(tcpPort, address);
    size_t next = 0;
    while (next < records.size()) {
        if (records[next].channel != Channel::kTcp) {
            ++next;
            continue;
        }
        const int connection = records[next].connection;
        UniqueFd fd = openSocket(SOCK_STREAM);
        const int64_t start = monotonicNs();
        if (::connect(fd.get(), asSockaddr(unit), sizeof unit) != 0) {
            result.error = "cannot connect to the unit";
            return result;
        }
        for (; next < records.size() && records[next].connection == connection; ++next) {
            if (records[next].channel != Channel::kTcp) continue;
            if (!roundTrip(fd.get(), records[next].bytes)) {
                result.error = "no reply to " + records[next].command;
                return result;
            }
        }
        result.roundTripsMs += static_cast<double>(monotonicNs() - start) / 1e6;
    }
    result.ok = true;
    return result;
}

}  // namespace

ReplayResult replayConnect(const std::vector<sim::ReceivedRecord>& records, uint16_t udpPort,
                           uint16_t tcpPort, uint32_t address) {
    std::vector<const sim::ReceivedRecord*> datagrams;
    for (const auto& record : records) {
        if (record.channel == Channel::kUdp) datagrams.push_back(&record);
    }
    ReplayResult result;
    if (datagrams.size() < 2) {
        result.error = "the conversation has no identification";
        return result;
    }
    UniqueFd udp = openSocket(SOCK_DGRAM);
    sockaddr_in unit = loopback(udpPort, address);
    // The first two requests with their pauses; the first reply is awaited after them.
    for (size_t i = 0; i < 2; ++i) {
        ::sendto(udp.get(), datagrams[i]->bytes.data(), datagrams[i]->bytes.size(), 0,
                 asSockaddr(unit), sizeof unit);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const int64_t start = monotonicNs();
    std::array<uint8_t, 512> reply{};
    socklen_t length = sizeof unit;
    if (::recvfrom(udp.get(), reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&unit),
                   &length) <= 0) {
        result.error = "no identification reply";
        return result;
    }
    for (size_t i = 2; i < datagrams.size(); ++i) {
        ::sendto(udp.get(), datagrams[i]->bytes.data(), datagrams[i]->bytes.size(), 0,
                 asSockaddr(unit), sizeof unit);
        if (::recv(udp.get(), reply.data(), reply.size(), 0) <= 0) {
            result.error = "no reply to " + datagrams[i]->command;
            return result;
        }
    }
    const double udpMs = static_cast<double>(monotonicNs() - start) / 1e6;
    result = replayTcp(records, tcpPort, address);
    result.roundTripsMs += udpMs;
    return result;
}

bool ReplaySession::open(uint16_t tcpPort, bool letters, std::string& error) {
    fd_ = openSocket(SOCK_STREAM);
    const sockaddr_in unit = loopback(tcpPort);
    if (::connect(fd_.get(), asSockaddr(unit), sizeof unit) != 0) {
        error = "cannot connect to the unit";
        return false;
    }
    const std::vector<uint8_t> activeFlag =
        letters ? std::vector<uint8_t>{'O', 'J', 0xC8} : std::vector<uint8_t>{0xE1};
    if (!roundTrip(fd_.get(), activeFlag)) {
        error = "no reply to the first read";
        return false;
    }
    return true;
}

std::optional<double> ReplaySession::replay(const std::vector<sim::ReceivedRecord>& records,
                                            std::string& error) {
    const int64_t start = monotonicNs();
    for (const auto& record : records) {
        if (!roundTrip(fd_.get(), record.bytes)) {
            error = "no reply to " + record.command;
            return std::nullopt;
        }
    }
    return static_cast<double>(monotonicNs() - start) / 1e6;
}

}  // namespace mervane::bench
