#include "link/TraceLines.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>

namespace mervane {

namespace {

struct KindText {
    const char* event;      // the JSON "event"
    const char* direction;  // the text's arrow
};

KindText kindText(TraceKind kind) {
    switch (kind) {
        case TraceKind::kDatagramSent:
            return {"send", "->"};
        case TraceKind::kDatagramReceived:
            return {"receive", "<-"};
        case TraceKind::kConnecting:
            return {"connect", "->"};
        case TraceKind::kConnected:
            return {"connected", "<-"};
        case TraceKind::kConnectFailed:
            return {"connect-failed", "<-"};
        case TraceKind::kSent:
            return {"send", "->"};
        case TraceKind::kSendFailed:
            return {"send-failed", "->"};
        case TraceKind::kReceived:
            return {"receive", "<-"};
        case TraceKind::kTimedOut:
            return {"timeout", "<-"};
        case TraceKind::kPeerClosed:
            return {"peer-closed", "<-"};
        case TraceKind::kReceiveFailed:
            return {"receive-failed", "<-"};
        case TraceKind::kPaused:
            return {"pause", ".."};
        case TraceKind::kDiscarded:
            return {"discard", ".."};
        case TraceKind::kDrained:
            return {"drain", ".."};
        case TraceKind::kClosed:
            return {"close", ".."};
    }
    return {"?", ".."};
}

std::string addressText(const sockaddr_in& address) {
    if (address.sin_family != AF_INET) return {};
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
    return std::string(dotted) + ':' + std::to_string(ntohs(address.sin_port));
}

std::string hexBytes(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string printable(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const uint8_t byte : bytes)
        text += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
    return text;
}

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// The length of what arrived: a datagram too long for its buffer is longer than its bytes kept.
size_t ownLength(const TraceEvent& e) {
    const bool cut = e.kind == TraceKind::kDatagramReceived && e.count > 0;
    return cut ? static_cast<size_t>(e.count) : e.bytes.size();
}

// What happened, for the text line.
std::string detailText(const TraceEvent& e) {
    // A datagram too long for its buffer: its length, and the bytes that were read of it.
    const bool cut = ownLength(e) > e.bytes.size();
    const std::string length =
        cut ? std::to_string(ownLength(e)) + " bytes, " + std::to_string(e.bytes.size()) + " read  "
            : std::to_string(e.bytes.size()) + (e.bytes.size() == 1 ? " byte  " : " bytes  ");
    const std::string bytes = length + hexBytes(e.bytes) + "  |" + printable(e.bytes) + '|';
    switch (e.kind) {
        case TraceKind::kDatagramSent:
        case TraceKind::kDatagramReceived:
            return bytes + "  local " + addressText(e.local);
        case TraceKind::kConnecting:
            return "connect";
        case TraceKind::kConnected:
            return "connected  local " + addressText(e.local);
        case TraceKind::kConnectFailed:
            return "connect failed: error " + std::to_string(e.error);
        case TraceKind::kSent:
            return bytes;
        case TraceKind::kSendFailed:
            return "send failed: error " + std::to_string(e.error);
        case TraceKind::kReceived:
            return e.note == nullptr ? bytes : bytes + "  " + e.note;
        case TraceKind::kTimedOut:
            return "timed out (" + std::to_string(e.error) + ")";
        case TraceKind::kPeerClosed:
            return "closed by the unit";
        case TraceKind::kReceiveFailed:
            return "receive failed: error " + std::to_string(e.error);
        case TraceKind::kPaused:
            return "pause " + std::to_string(e.count) + " ms";
        case TraceKind::kDiscarded:
            return "discarded " + std::to_string(e.count) + " unread bytes before the request";
        case TraceKind::kDrained:
            return "drained " + std::to_string(e.count) + " bytes";
        case TraceKind::kClosed:
            return "close";
    }
    return {};
}

std::string jsonLine(const TraceEvent& e, double seconds) {
    char time[32];
    std::snprintf(time, sizeof time, "%.6f", seconds);
    std::string line = std::string("{\"time\":") + time +
                       ",\"unit\":" + jsonString(addressText(e.peer)) + ",\"proto\":\"" +
                       (e.datagram ? "udp" : "tcp") + "\",\"event\":\"" + kindText(e.kind).event +
                       '"';
    if (e.command[0] != '\0') line += ",\"command\":" + jsonString(e.command.data());
    if (!e.bytes.empty()) {
        line += ",\"length\":" + std::to_string(ownLength(e)) +
                ",\"bytes\":" + jsonString(hexBytes(e.bytes)) +
                ",\"printable\":" + jsonString(printable(e.bytes));
    }
    if (e.local.sin_family == AF_INET) line += ",\"local\":" + jsonString(addressText(e.local));
    if (e.error != 0) line += ",\"error\":" + std::to_string(e.error);
    switch (e.kind) {
        case TraceKind::kPaused:
            line += ",\"ms\":" + std::to_string(e.count);
            break;
        case TraceKind::kDiscarded:
        case TraceKind::kDrained:
            line += ",\"count\":" + std::to_string(e.count);
            break;
        default:
            break;
    }
    if (e.note != nullptr) line += ",\"note\":" + jsonString(e.note);
    return line + '}';
}

}  // namespace

double TraceFormatter::secondsSinceOrigin(std::chrono::steady_clock::time_point at) {
    if (!origin_) origin_ = at;
    // Events of several threads may reach the sink a little out of their time order.
    const auto since = std::max(at - *origin_, std::chrono::steady_clock::duration::zero());
    return std::chrono::duration<double>(since).count();
}

std::string TraceFormatter::line(const TraceEvent& e) {
    const double seconds = secondsSinceOrigin(e.at);
    if (json_) return jsonLine(e, seconds);
    std::string name = e.command[0] != '\0' ? e.command.data() : "--";
    char head[96];
    std::snprintf(head, sizeof head, "%10.6f  %-21s  %s %s  %-2s  ", seconds,
                  addressText(e.peer).c_str(), e.datagram ? "udp" : "tcp",
                  kindText(e.kind).direction, name.c_str());
    return head + detailText(e);
}

void TraceLineSink::record(const TraceEvent& event) {
    const std::lock_guard lock(mutex_);
    write_(formatter_.line(event));
}

void TraceLineSink::restart(const std::function<void()>& alongside) {
    const std::lock_guard lock(mutex_);
    formatter_.restart();
    if (alongside) alongside();
}

}  // namespace mervane
