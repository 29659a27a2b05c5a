#include "link/UnitCommands.h"

#include <algorithm>
#include <array>

#include "link/AutoOnOffSettings.h"
#include "link/HexText.h"
#include "link/Status.h"

namespace mervane {

namespace {

constexpr size_t kLetterLimit = 256;  // reply frames of the 'O' commands
constexpr size_t kOneShotLimit = 6;   // reply frames of the 'N' commands
constexpr uint8_t kChannelCodeBase = 0x20;
constexpr uint8_t kNibbleBase = 0x20;

constexpr uint8_t channelCode(int channel) {
    return static_cast<uint8_t>(kChannelCodeBase + channel);
}

// Replies are checked against the positions a command reads: a frame too short to hold them
// fails instead of handing back its terminator or bytes of an earlier frame.
constexpr bool holds(size_t frameLength, size_t lastPositionRead) {
    return frameLength >= lastPositionRead + 2;  // the position, then at least the terminator
}

}  // namespace

bool UnitCommands::channelInRange(int channel) const {
    return channel >= 0 && channel < outputCount(identity_);
}

size_t UnitCommands::letterExchange(std::span<const uint8_t> request, FrameBuffer& reply,
                                    size_t limit) {
    if (transport_.sendRequest(request) != kStatusOk) return 0;
    return transport_.receiveFrame(request.first<2>(), reply, limit);
}

int UnitCommands::binaryExchange(std::span<const uint8_t> request, std::array<uint8_t, 2>& reply) {
    if (transport_.sendRequest(request) != kStatusOk) return kStatusFailure;
    return transport_.receiveExact(reply);
}

int UnitCommands::queryUnit() {
    if (identity_.generation == UnitGeneration::kGen4) return queryUnitExtended();

    static constexpr std::array<uint8_t, 2> kRequest{'U', 'U'};
    if (transport_.sendRequest(kRequest) != kStatusOk) return kStatusFailure;
    std::array<uint8_t, 2> reply{};
    if (transport_.receiveExact(reply) != kStatusOk) return queryUnitExtended();
    if ((reply[1] & 0xF0) == 0x70) return kStatusFailure;

    identity_.unitId = static_cast<uint8_t>(15 - (reply[0] & 0x0F));
    identity_.modelIndex = (reply[0] >> 4) & 0x07;
    return kStatusOk;
}

int UnitCommands::queryUnitExtended() {
    static constexpr std::array<uint8_t, 3> kRequest{'M', 'I', kFrameTerminator};
    if (transport_.sendRequest(kRequest) != kStatusOk) return kStatusFailure;
    std::array<uint8_t, 6> reply{};
    if (transport_.receiveExact(std::span(reply).first<5>()) != kStatusOk) return kStatusFailure;
    const bool escaped = (reply[3] & 0x0F) == 0x0F;
    if (escaped && transport_.receiveExact(std::span(reply).subspan<5, 1>()) != kStatusOk) {
        return kStatusFailure;
    }
    const size_t terminatorAt = escaped ? 5 : 4;
    if (reply[0] != 'm' || reply[1] != 'i' || reply[terminatorAt] != kFrameTerminator) {
        return kStatusFailure;
    }
    identity_.modelIndex = escaped ? (0x10 | (reply[4] & 0x0F)) : (reply[3] & 0x0F);
    identity_.unitId = static_cast<uint8_t>(15 - (reply[2] & 0x0F));
    identity_.generation = UnitGeneration::kGen4;
    return kStatusOk;
}

int UnitCommands::setAutoActive(bool on) {
    switch (commandForm(identity_)) {
        case CommandForm::kLetter: {
            const std::array<uint8_t, 4> request{'O', 'L', static_cast<uint8_t>(on ? 0x28 : 0x20),
                                                 kFrameTerminator};
            FrameBuffer reply{};
            return letterExchange(request, reply, kLetterLimit) ? kStatusOk : kStatusFailure;
        }
        case CommandForm::kBinary: {
            const std::array<uint8_t, 2> request{0xF1, static_cast<uint8_t>(on ? 0x01 : 0x00)};
            std::array<uint8_t, 2> reply{};
            return binaryExchange(request, reply);
        }
        case CommandForm::kRefused:
            break;
    }
    return kStatusFailure;
}

int UnitCommands::getAutoActive(int32_t& active) {
    switch (commandForm(identity_)) {
        case CommandForm::kLetter: {
            static constexpr std::array<uint8_t, 3> kRequest{'O', 'J', kFrameTerminator};
            FrameBuffer reply{};
            const size_t length = letterExchange(kRequest, reply, kLetterLimit);
            if (!holds(length, 2)) return kStatusFailure;
            active = (reply[2] & 0x08) ? 1 : 0;
            return kStatusOk;
        }
        case CommandForm::kBinary: {
            static constexpr std::array<uint8_t, 1> kRequest{0xE1};
            std::array<uint8_t, 2> reply{};
            if (binaryExchange(kRequest, reply) != kStatusOk) return kStatusFailure;
            active = reply[1];
            return kStatusOk;
        }
        case CommandForm::kRefused:
            break;
    }
    return kStatusFailure;
}

int UnitCommands::setEnableMask(uint32_t mask) {
    switch (commandForm(identity_)) {
        case CommandForm::kLetter: {
            // One nibble character per four outputs, never fewer than two; bits beyond the
            // characters sent are dropped.
            const int outputs = std::max(modelRow(identity_).outputCount, 0);
            const size_t nibbles = std::clamp<size_t>((static_cast<size_t>(outputs) + 3) / 4, 2,
                                                      kMaxRequestLength - 3);
            std::array<uint8_t, kMaxRequestLength> request{'O', 'C'};
            for (size_t k = 0; k < nibbles; ++k) {
                request[2 + k] = static_cast<uint8_t>(kNibbleBase | ((mask >> (4 * k)) & 0x0F));
            }
            request[2 + nibbles] = kFrameTerminator;
            FrameBuffer reply{};
            const auto sent = std::span(request).first(nibbles + 3);
            return letterExchange(sent, reply, kLetterLimit) ? kStatusOk : kStatusFailure;
        }
        case CommandForm::kBinary: {
            const std::array<uint8_t, 2> request{0xF3, static_cast<uint8_t>(mask & 0x1F)};
            std::array<uint8_t, 2> reply{};
            return binaryExchange(request, reply);
        }
        case CommandForm::kRefused:
            break;
    }
    return kStatusFailure;
}

int UnitCommands::getEnableMask(uint32_t& mask) {
    switch (commandForm(identity_)) {
        case CommandForm::kLetter: {
            static constexpr std::array<uint8_t, 3> kRequest{'O', 'H', kFrameTerminator};
            FrameBuffer reply{};
            const size_t length = letterExchange(kRequest, reply, kLetterLimit);
            if (length == 0) return kStatusFailure;
            // Nibble characters fill the positions between the echo and the terminator. The mask
            // has room for eight of them; further ones would shift past its 32 bits.
            uint32_t value = 0;
            for (size_t k = 0; k + 3 < length && k < 8; ++k) {
                value |= static_cast<uint32_t>(reply[2 + k] & 0x0F) << (4 * k);
            }
            mask = value;
            return kStatusOk;
        }
        case CommandForm::kBinary: {
            static constexpr std::array<uint8_t, 1> kRequest{0xE3};
            std::array<uint8_t, 2> reply{};
            if (binaryExchange(kRequest, reply) != kStatusOk) return kStatusFailure;
            mask = reply[1];
            return kStatusOk;
        }
        case CommandForm::kRefused:
            break;
    }
    return kStatusFailure;
}

int UnitCommands::setCommonInterval(int32_t intervalIndex) {
    if (commandForm(identity_) != CommandForm::kBinary) return kStatusFailure;
    const std::array<uint8_t, 2> request{0xF2, static_cast<uint8_t>(intervalIndex & 0xFF)};
    std::array<uint8_t, 2> reply{};
    return binaryExchange(request, reply);
}

int UnitCommands::getCommonInterval(int32_t& intervalIndex) {
    if (commandForm(identity_) != CommandForm::kBinary) return kStatusFailure;
    static constexpr std::array<uint8_t, 1> kRequest{0xE2};
    std::array<uint8_t, 2> reply{};
    if (binaryExchange(kRequest, reply) != kStatusOk) return kStatusFailure;
    intervalIndex = reply[1];
    return kStatusOk;
}

int UnitCommands::setChannelTimes(int channel, int32_t onTime, int32_t offTime) {
    if (modelRow(identity_).commandFamily != CommandFamily::kLetter) return kStatusFailure;
    if (!channelInRange(channel)) return kStatusFailure;
    if (!isOnOffTime(onTime) || !isOnOffTime(offTime)) {
        return kStatusFailure;
    }
    const auto on = hexByteText(static_cast<uint32_t>(onTime));
    const auto off = hexByteText(static_cast<uint32_t>(offTime));
    const std::array<uint8_t, 8> request{'O',    'T',    channelCode(channel), on[0], on[1],
                                         off[0], off[1], kFrameTerminator};
    FrameBuffer reply{};
    return letterExchange(request, reply, kLetterLimit) ? kStatusOk : kStatusFailure;
}

int UnitCommands::getChannelTimes(int channel, int32_t& onTime, int32_t& offTime) {
    if (modelRow(identity_).commandFamily != CommandFamily::kLetter) return kStatusFailure;
    if (!channelInRange(channel)) return kStatusFailure;
    onTime = 0;
    offTime = 0;
    const std::array<uint8_t, 4> request{'O', 'I', channelCode(channel), kFrameTerminator};
    FrameBuffer reply{};
    const size_t length = letterExchange(request, reply, kLetterLimit);
    if (!holds(length, 6)) return kStatusFailure;
    onTime = parseHexPair(reply[3], reply[4]);
    offTime = parseHexPair(reply[5], reply[6]);
    return kStatusOk;
}

int UnitCommands::getOneShot(int channel, int32_t& value) {
    if (!channelInRange(channel)) return kStatusFailure;
    const std::array<uint8_t, 4> request{'N', 'J', channelCode(channel), kFrameTerminator};
    FrameBuffer reply{};
    const size_t length = letterExchange(request, reply, kOneShotLimit);
    if (!holds(length, 4)) return kStatusFailure;
    value = parseHexPair(reply[3], reply[4]);
    return kStatusOk;
}

int UnitCommands::clearOneShot(int channel) {
    if (!channelInRange(channel)) return kStatusFailure;
    const std::array<uint8_t, 6> request{'N', 'S', channelCode(channel),
                                         '0', '0', kFrameTerminator};
    FrameBuffer reply{};
    return letterExchange(request, reply, kOneShotLimit) ? kStatusOk : kStatusFailure;
}

}  // namespace mervane
