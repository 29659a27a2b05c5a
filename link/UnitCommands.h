#pragma once

#include <cstdint>

#include "link/DeviceIdentity.h"
#include "link/SessionTransport.h"

namespace mervane {

// The unit's command vocabulary: the two unit queries and the automatic ON/OFF commands, each one
// request and its reply over the session. The encoding (letter commands closed by 0xC8, or
// single-byte binary commands) follows the identified unit's command family and generation at
// the time of the call; a command the unit cannot take fails at once without sending anything.
//
// Every operation returns 0 or the failure status and shows nothing; after a failing exchange
// the thread's last socket error tells why. Out-parameters are written only on success, except
// getChannelTimes (both times are 0 once its request is about to be sent).
//
// Channels are 0..7 for DO1..DO8; a channel outside 0..outputCount-1 of the unit's model is
// refused. Times are in units of 100 ms.
class UnitCommands {
  public:
    UnitCommands(SessionTransport& transport, DeviceIdentity& identity)
        : transport_(transport), identity_(identity) {}

    // 'U' 'U' (unless the unit is already known as generation 4), falling back to 'M' 'I' when
    // the reply does not arrive. Stores unit id and model index in the identity.
    int queryUnit();
    // 'M' 'I': stores unit id, model index and generation 4 in the identity.
    int queryUnitExtended();

    int setAutoActive(bool on);
    int getAutoActive(int32_t& active);  // 0/1 from letter units, the reply byte from binary ones
    int setEnableMask(uint32_t mask);
    int getEnableMask(uint32_t& mask);
    int setCommonInterval(int32_t intervalIndex);  // binary units; only the low byte travels
    int getCommonInterval(int32_t& intervalIndex);
    // Letter units only; refuses a time of 0 or above 255 (the wire holds one byte).
    int setChannelTimes(int channel, int32_t onTime, int32_t offTime);
    int getChannelTimes(int channel, int32_t& onTime, int32_t& offTime);
    int getOneShot(int channel, int32_t& value);  // nonzero: a one-shot output setting exists
    int clearOneShot(int channel);

  private:
    // A letter request and its reply frame; the frame length, or 0 on failure.
    size_t letterExchange(std::span<const uint8_t> request, FrameBuffer& reply, size_t limit);
    // A binary request and its two-byte reply.
    int binaryExchange(std::span<const uint8_t> request, std::array<uint8_t, 2>& reply);
    bool channelInRange(int channel) const;

    SessionTransport& transport_;
    DeviceIdentity& identity_;
};

}  // namespace mervane
