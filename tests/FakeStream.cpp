#include "tests/FakeStream.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "link/SocketError.h"

namespace mervane::testing {

std::vector<uint8_t> fromHex(std::string_view hex) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (const char c : hex) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) throw std::invalid_argument("hex");
        const int v = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("odd hex digit count");
    return bytes;
}

ScriptedStream& ScriptedStream::data(std::string_view hex) {
    script_.push_back({Event::Kind::kData, fromHex(hex), 0});
    return *this;
}

ScriptedStream& ScriptedStream::bytes(std::span<const uint8_t> raw) {
    script_.push_back({Event::Kind::kData, {raw.begin(), raw.end()}, 0});
    return *this;
}

ScriptedStream& ScriptedStream::timeOut() {
    return error(wsa::kTimedOut);
}

ScriptedStream& ScriptedStream::error(int winsockError) {
    script_.push_back({Event::Kind::kError, {}, winsockError});
    return *this;
}

ScriptedStream& ScriptedStream::closed() {
    script_.push_back({Event::Kind::kClosed, {}, 0});
    return *this;
}

long ScriptedStream::sendSome(std::span<const uint8_t> bytes) {
    ++sendCalls_;
    if (sendError_ != 0) {
        setLastSocketError(sendError_);
        return -1;
    }
    sent_.insert(sent_.end(), bytes.begin(), bytes.end());
    return static_cast<long>(bytes.size());
}

long ScriptedStream::receiveSome(std::span<uint8_t> bytes) {
    ++receiveCalls_;
    if (script_.empty()) {
        setLastSocketError(wsa::kTimedOut);
        return -1;
    }
    Event& next = script_.front();
    switch (next.kind) {
        case Event::Kind::kData: {
            const size_t n = std::min(bytes.size(), next.bytes.size());
            std::copy_n(next.bytes.begin(), n, bytes.begin());
            next.bytes.erase(next.bytes.begin(), next.bytes.begin() + static_cast<long>(n));
            if (next.bytes.empty()) script_.pop_front();
            return static_cast<long>(n);
        }
        case Event::Kind::kError:
            setLastSocketError(next.error);
            script_.pop_front();
            return -1;
        case Event::Kind::kClosed:
            script_.pop_front();
            return 0;
    }
    return -1;
}

size_t ScriptedStream::unreadBytes() const {
    size_t n = 0;
    for (const Event& e : script_)
        n += e.bytes.size();
    return n;
}

}  // namespace mervane::testing
