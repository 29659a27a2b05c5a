#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/ModelTable.h"
#include "sim/SimulatedUnit.h"

// The unit's side of the protocol without sockets: names of requests, the bytes of replies and
// the settings changes they make. The services only move bytes and apply delivery faults.
namespace mervane::sim {

// What a unit is, fixed for its lifetime.
struct UnitIdentity {
    std::array<char, 2> typeCode{'_', 'W'};
    int modelIndex = 0;
    int unitId = 0;
    CommandFamily family = CommandFamily::kNone;
    int outputCount = 0;

    static UnitIdentity of(const UnitConfig& config);
    // Generation 4 units run per-output ON/OFF times instead of one common interval.
    bool generation4() const;
    // Bit i set for every DO(i+1) the model has.
    uint8_t outputBits() const;
};

inline constexpr uint8_t kFrameEnd = 0xC8;
inline constexpr size_t kMaxLetterRequest = 16;

// ---- Identification (UDP) ----

// "F6", "LN", "F8", "F4", "E7" or "??".
std::string datagramName(std::span<const uint8_t> datagram);
bool isFirstRequest(const std::string& name);
// The reply to a datagram, or nothing when the unit stays silent (noUdpReply and delays are the
// service's business).
std::optional<std::vector<uint8_t>> datagramReply(const std::string& name, const UnitIdentity& unit,
                                                  const UnitFaults& faults);

// ---- Unit queries and automatic ON/OFF (TCP) ----

struct TcpRequest {
    std::string command;  // as logged and as named by UnitFaults::silentCommand
    std::vector<uint8_t> bytes;
};

// Collects a byte stream and cuts it into requests. The storage is fixed: a letter request that
// runs past kMaxLetterRequest bytes without its end is dropped, so the buffer never fills.
class RequestBuffer {
  public:
    static constexpr size_t kCapacity = 32;

    std::span<uint8_t> freeSpace() { return std::span(data_).subspan(size_); }
    void commit(size_t count) { size_ += count; }
    void clear() { size_ = 0; }
    bool empty() const { return size_ == 0; }

    // The first complete request, removed from the buffer; nothing while it is incomplete.
    std::optional<TcpRequest> take();

  private:
    TcpRequest cut(size_t length, std::string command);

    std::array<uint8_t, kCapacity> data_{};
    size_t size_ = 0;
};

// Applies a request to `settings` and returns the reply bytes (with the faults that change what
// the unit says: stray frames, short or long binary replies, a wrong echo, a missing end,
// noise), or nothing when the unit does not answer it.
std::optional<std::vector<uint8_t>> answerRequest(const TcpRequest& request,
                                                  const UnitIdentity& unit,
                                                  const UnitFaults& faults,
                                                  UnitSettingsState& settings);

}  // namespace mervane::sim
