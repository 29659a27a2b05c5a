#include "sim/UnitProtocol.h"

#include <algorithm>

namespace mervane::sim {

namespace {

constexpr size_t kMaxDatagram = 1472;  // the most one Ethernet frame carries
constexpr uint8_t kLowerCase = 0x20;
constexpr uint8_t kChannelBase = 0x20;
constexpr uint8_t kNibbleBase = 0x20;
constexpr uint8_t kActiveOn = 0x28;
constexpr int kMaxStrayFrames = 255;

std::array<char, 2> hexDigits(uint8_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

int hexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Lenient like the units: leading blanks skipped, reading stops at the first non-hex byte.
uint8_t parseHexPair(uint8_t high, uint8_t low) {
    const std::array<uint8_t, 2> text{high, low};
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    int value = 0;
    for (; i < text.size() && hexValue(text[i]) >= 0; ++i)
        value = value * 16 + hexValue(text[i]);
    return static_cast<uint8_t>(value);
}

bool isUpperLetter(uint8_t c) {
    return c >= 'A' && c <= 'Z';
}

bool canStartRequest(uint8_t c) {
    return isUpperLetter(c) || (c >= 0xE1 && c <= 0xE3) || (c >= 0xF1 && c <= 0xF3);
}

std::string byteName(uint8_t value) {
    const auto digits = hexDigits(value);
    return std::string(digits.data(), digits.size());
}

// The channel index a channel code names, or nothing for a channel the model lacks.
std::optional<size_t> channelIndex(uint8_t code, const UnitIdentity& unit) {
    if (code < kChannelBase || code - kChannelBase >= unit.outputCount) return std::nullopt;
    return static_cast<size_t>(code - kChannelBase);
}

void appendHexPair(std::vector<uint8_t>& out, uint8_t value) {
    const auto digits = hexDigits(value);
    out.push_back(static_cast<uint8_t>(digits[0]));
    out.push_back(static_cast<uint8_t>(digits[1]));
}

uint8_t nibbleChar(int value) {
    return static_cast<uint8_t>(kNibbleBase | (value & 0x0F));
}

std::vector<uint8_t> unitQueryAnswer(const UnitIdentity& unit) {
    const uint8_t idChar = static_cast<uint8_t>(0x30 | (15 - unit.unitId));
    std::vector<uint8_t> reply{'m', 'i', idChar};
    // Model digits only go to 15; higher models are escaped with '?'.
    if (unit.modelIndex < 16) {
        reply.push_back(static_cast<uint8_t>(0x30 | unit.modelIndex));
    } else {
        reply.push_back(0x3F);
        reply.push_back(static_cast<uint8_t>(0x30 | (unit.modelIndex - 16)));
    }
    reply.push_back(kFrameEnd);
    return reply;
}

// The letter frame answering `bytes` (a complete frame), without stray frames.
std::optional<std::vector<uint8_t>> letterAnswer(std::span<const uint8_t> bytes,
                                                 const UnitIdentity& unit,
                                                 UnitSettingsState& settings) {
    const uint8_t first = bytes[0];
    const uint8_t second = bytes[1];
    std::vector<uint8_t> reply{static_cast<uint8_t>(first + kLowerCase),
                               static_cast<uint8_t>(second + kLowerCase)};
    auto finish = [&reply]() {
        reply.push_back(kFrameEnd);
        return std::optional(reply);
    };
    const size_t length = bytes.size();

    if (first == 'M' && second == 'I' && length == 3) return unitQueryAnswer(unit);
    if (unit.family != CommandFamily::kLetter) return std::nullopt;

    if (first == 'O') {
        switch (second) {
            case 'L':
                if (length != 4) return std::nullopt;
                settings.active = bytes[2] == kActiveOn ? 1 : 0;
                reply.push_back(bytes[2]);
                return finish();
            case 'J':
                if (length != 3) return std::nullopt;
                reply.push_back(settings.active != 0 ? kActiveOn : kNibbleBase);
                return finish();
            case 'C':
                if (length != 5) return std::nullopt;
                settings.enableMask = static_cast<uint8_t>(
                    ((bytes[2] & 0x0F) | ((bytes[3] & 0x0F) << 4)) & unit.outputBits());
                return finish();
            case 'H':
                if (length != 3) return std::nullopt;
                reply.push_back(nibbleChar(settings.enableMask));
                reply.push_back(nibbleChar(settings.enableMask >> 4));
                return finish();
            case 'T': {
                if (length != 8) return std::nullopt;
                const auto channel = channelIndex(bytes[2], unit);
                if (!channel) return std::nullopt;
                settings.onTime[*channel] = parseHexPair(bytes[3], bytes[4]);
                settings.offTime[*channel] = parseHexPair(bytes[5], bytes[6]);
                return finish();
            }
            case 'I': {
                if (length != 4) return std::nullopt;
                const auto channel = channelIndex(bytes[2], unit);
                if (!channel) return std::nullopt;
                reply.push_back(bytes[2]);
                appendHexPair(reply, settings.onTime[*channel]);
                appendHexPair(reply, settings.offTime[*channel]);
                return finish();
            }
            default:
                return std::nullopt;
        }
    }
    if (first == 'N' && second == 'J' && length == 4) {
        const auto channel = channelIndex(bytes[2], unit);
        if (!channel) return std::nullopt;
        reply.push_back(bytes[2]);
        appendHexPair(reply, settings.oneShot[*channel]);
        return finish();
    }
    if (first == 'N' && second == 'S' && length == 6) {
        const auto channel = channelIndex(bytes[2], unit);
        if (!channel) return std::nullopt;
        settings.oneShot[*channel] = parseHexPair(bytes[3], bytes[4]);
        return finish();
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> binaryAnswer(std::span<const uint8_t> bytes,
                                                 const UnitIdentity& unit,
                                                 UnitSettingsState& settings) {
    if (unit.family != CommandFamily::kBinary && unit.family != CommandFamily::kBinaryGen3Only) {
        return std::nullopt;
    }
    const uint8_t command = bytes[0];
    switch (command) {
        case 0xE1:
            return std::vector<uint8_t>{command, settings.active};
        case 0xE2:
            return std::vector<uint8_t>{command, settings.intervalIndex};
        case 0xE3:
            return std::vector<uint8_t>{command, settings.enableMask};
        case 0xF1:
            settings.active = bytes[1];
            break;
        case 0xF2:
            settings.intervalIndex = bytes[1];
            break;
        case 0xF3:
            settings.enableMask = static_cast<uint8_t>(bytes[1] & 0x1F);
            break;
        default:
            return std::nullopt;
    }
    return std::vector<uint8_t>{command, 0x00};
}

}  // namespace

UnitIdentity UnitIdentity::of(const UnitConfig& config) {
    const ModelRow& row = modelRow(config.modelIndex);
    return {config.typeCode, config.modelIndex, config.unitId, row.commandFamily,
            std::clamp(row.outputCount, 0, kMaxOutputs)};
}

bool UnitIdentity::generation4() const {
    return (typeCode[0] == '_' && typeCode[1] == 'W') || family == CommandFamily::kLetter;
}

uint8_t UnitIdentity::outputBits() const {
    return static_cast<uint8_t>((1U << outputCount) - 1U);
}

std::string datagramName(std::span<const uint8_t> datagram) {
    if (datagram.size() >= 4 && datagram[0] == 0 && datagram[1] == 0 && datagram[2] == 0) {
        switch (datagram[3]) {
            case 0xF6:
            case 0xF8:
            case 0xF4:
            case 0xE7:
                return byteName(datagram[3]);
            default:
                break;
        }
    }
    if (datagram.size() >= 2 && datagram[0] == 'L' && datagram[1] == 'N') return "LN";
    return "??";
}

bool isFirstRequest(const std::string& name) {
    return name == "F6" || name == "LN";
}

std::optional<std::vector<uint8_t>> datagramReply(const std::string& name, const UnitIdentity& unit,
                                                  const UnitFaults& faults) {
    if (faults.noUdpReply || name == faults.silentCommand) return std::nullopt;
    if (name == "LN" && !faults.answerBothFirstRequests) return std::nullopt;

    size_t size = 0;
    uint8_t code = 0;
    if (isFirstRequest(name)) {
        size = static_cast<size_t>(std::max(faults.firstReplySize, 0));
        code = 0xF7;
    } else if (name == "F8") {
        size = 124;
        code = 0xF9;
    } else if (name == "F4") {
        size = 33;
        code = 0xF5;
    } else if (name == "E7") {
        size = 130;
        code = 0xE8;
    } else {
        return std::nullopt;
    }
    if (name == faults.oversizedReplyTo) ++size;

    std::vector<uint8_t> reply(std::min(size, kMaxDatagram), 0);
    auto put = [&reply](size_t at, uint8_t value) {
        if (at < reply.size()) reply[at] = value;
    };
    put(3, code);
    if (isFirstRequest(name)) {
        put(8, static_cast<uint8_t>(unit.typeCode[0]));
        put(9, static_cast<uint8_t>(unit.typeCode[1]));
        // A locally administered MAC address, different per model and unit id.
        const std::array<uint8_t, 6> mac{0x02,
                                         0x00,
                                         0x4D,
                                         0x56,
                                         static_cast<uint8_t>(unit.modelIndex),
                                         static_cast<uint8_t>(unit.unitId)};
        for (size_t i = 0; i < mac.size(); ++i)
            put(24 + i, mac[i]);
    }
    return reply;
}

TcpRequest RequestBuffer::cut(size_t length, std::string command) {
    TcpRequest request{std::move(command), {data_.begin(), data_.begin() + length}};
    std::copy(data_.begin() + length, data_.begin() + size_, data_.begin());
    size_ -= length;
    return request;
}

std::optional<TcpRequest> RequestBuffer::take() {
    if (size_ == 0) return std::nullopt;
    const uint8_t lead = data_[0];
    if (lead == 'U') {
        if (size_ < 2) return std::nullopt;
        if (data_[1] == 'U') return cut(2, "UU");
    }
    if (lead >= 0xE1 && lead <= 0xE3) return cut(1, byteName(lead));
    if (lead >= 0xF1 && lead <= 0xF3) {
        if (size_ < 2) return std::nullopt;
        return cut(2, byteName(lead));
    }
    if (!isUpperLetter(lead)) {
        // Skip the junk up to where a request could start again, as one record.
        const auto next = std::find_if(data_.begin() + 1, data_.begin() + size_, canStartRequest);
        return cut(static_cast<size_t>(next - data_.begin()), "??");
    }

    const size_t window = std::min(size_, kMaxLetterRequest + 1);
    const auto end = std::find(data_.begin(), data_.begin() + window, kFrameEnd);
    if (end == data_.begin() + window) {
        if (size_ > kMaxLetterRequest) return cut(size_, "??");
        return std::nullopt;
    }
    const size_t length = static_cast<size_t>(end - data_.begin()) + 1;
    if (length < 3 || !isUpperLetter(data_[1])) return cut(length, "??");
    return cut(length, std::string{static_cast<char>(data_[0]), static_cast<char>(data_[1])});
}

namespace {

// What a unit that lost its way sends: a fixed pseudo-random byte sequence, so runs repeat.
std::vector<uint8_t> noiseLike(const std::vector<uint8_t>& reply) {
    std::vector<uint8_t> noise(reply.size());
    uint32_t state = 0x2545F491;
    for (uint8_t& b : noise) {
        state = state * 1664525 + 1013904223;
        b = static_cast<uint8_t>(state >> 24);
    }
    return noise;
}

// A letter frame as the request asked for it, then damaged the way `faults` says.
std::vector<uint8_t> damagedFrame(std::vector<uint8_t> frame, const UnitFaults& faults) {
    constexpr size_t kEndlessData = 1024;  // far beyond any reader's limit
    if (faults.wrongEcho) {
        for (size_t i = 0; i < std::min<size_t>(2, frame.size()); ++i)
            frame[i] = static_cast<uint8_t>(frame[i] & ~kLowerCase);
    }
    if (faults.noFrameEnd && !frame.empty() && frame.back() == kFrameEnd) {
        frame.pop_back();
        frame.insert(frame.end(), kEndlessData, '0');
    }
    return frame;
}

}  // namespace

// The answer of a unit that works, but for the faults that change what it says.
static std::optional<std::vector<uint8_t>> settingsAnswer(const TcpRequest& request,
                                                          const UnitIdentity& unit,
                                                          const UnitFaults& faults,
                                                          UnitSettingsState& settings) {
    const std::span<const uint8_t> bytes(request.bytes);
    const bool silent = request.command == faults.silentCommand;
    if (request.command == "??" || bytes.empty()) return std::nullopt;

    if (request.command == "UU") {
        if (unit.modelIndex < 0 || unit.modelIndex > 7 || faults.noUuAnswer || silent) {
            return std::nullopt;
        }
        return std::vector<uint8_t>{
            static_cast<uint8_t>(((unit.modelIndex & 7) << 4) | (15 - unit.unitId)),
            static_cast<uint8_t>(faults.uuHighNibble7 ? 0x75 : 0x30)};
    }

    if (!isUpperLetter(bytes[0])) {
        // A silenced write still takes effect: the reply is what goes missing.
        auto reply = binaryAnswer(bytes, unit, settings);
        if (!reply || silent) return std::nullopt;
        if (faults.oneByteBinaryReply) reply->resize(1);
        if (faults.extraBinaryByte) reply->push_back(0x00);
        return reply;
    }

    auto frame = letterAnswer(bytes, unit, settings);
    if (!frame || silent) return std::nullopt;
    std::vector<uint8_t> reply;
    for (int i = 0; i < std::min(faults.strayFramesBeforeReply, kMaxStrayFrames); ++i) {
        reply.insert(reply.end(), {'x', 'x', kNibbleBase, kFrameEnd});
    }
    const auto damaged = damagedFrame(std::move(*frame), faults);
    reply.insert(reply.end(), damaged.begin(), damaged.end());
    return reply;
}

std::optional<std::vector<uint8_t>> answerRequest(const TcpRequest& request,
                                                  const UnitIdentity& unit,
                                                  const UnitFaults& faults,
                                                  UnitSettingsState& settings) {
    auto reply = settingsAnswer(request, unit, faults, settings);
    if (!reply || faults.tcpSilent) return std::nullopt;
    if (faults.garbage) return noiseLike(*reply);
    return reply;
}

}  // namespace mervane::sim
