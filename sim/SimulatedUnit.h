#pragma once

#include <netinet/in.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace mervane::sim {

// Misbehaviours the unit can be told to show, chosen per run (and changeable between tests).
struct UnitFaults {
    // Identification (UDP).
    bool noUdpReply = false;               // never answer any datagram
    bool firstReplyFromOtherPort = false;  // first reply (and all later ones) from a second port
    int firstReplySize = 30;               // bytes of the first reply; more than 30 is oversized
    bool answerBothFirstRequests = false;  // answer "LN" as well as 00 00 00 F6 (a duplicate)
    std::string oversizedReplyTo;          // "F8", "F4" or "E7": that reply one byte too long

    // Unit queries (TCP).
    bool noUuAnswer = false;     // stay silent on 'U' 'U'
    bool uuHighNibble7 = false;  // 'U' 'U' reply's second byte 0x75

    // Every TCP reply.
    size_t splitPieceBytes = 0;       // 0: one send per reply; N: pieces of N bytes ...
    int splitPauseMs = 0;             // ... with this pause between pieces
    int strayFramesBeforeReply = 0;   // frames with a wrong echo sent before each letter reply
    bool oneByteBinaryReply = false;  // binary commands answered with their first byte only
    bool extraBinaryByte = false;     // binary commands answered with one byte too many
    bool wrongEcho = false;           // letter replies echo the request's letters in upper case
    bool noFrameEnd = false;          // letter replies never end: data instead of the 0xC8
    bool garbage = false;             // every reply replaced by as many bytes of noise
    bool tcpSilent = false;           // accept connections, never answer anything on them
    bool closeMidReply = false;       // send half of each reply, then close the connection
    bool resetOnRequest = false;      // abort the connection (RST) instead of answering
    bool chatter = false;             // noise without pause on connections accepted meanwhile
    int replyDelayMs = 0;             // wait before every reply, UDP and TCP (a slow network)

    // Silence on one command, named as logged: "F6", "LN", "F8", "F4", "E7" (UDP), "UU", "MI",
    // "OL", "OJ", "OC", "OH", "OT", "OI", "NJ", "NS", "E1", "E2", "E3", "F1", "F2", "F3" (TCP).
    std::string silentCommand;

    // 0: never. N: answer the first N requests of each connection, then close it.
    int closeAfterRequests = 0;
};

// What the unit holds and reports. Times in units of 100 ms; intervalIndex into the interval
// list (100..2000 ms in steps of 100, then 3000..14000 ms in steps of 1000).
struct UnitSettingsState {
    uint8_t active = 0;
    uint8_t enableMask = 0;
    uint8_t intervalIndex = 0;
    std::array<uint8_t, 8> onTime{};
    std::array<uint8_t, 8> offTime{};
    std::array<uint8_t, 8> oneShot{};
};

struct UnitConfig {
    std::array<char, 2> typeCode{'_', 'W'};  // "_L" generation 3, "_W" generation 4, "X6", ...
    int modelIndex = 19;                     // row of the model table, 0..31
    int unitId = 0;                          // 0..15
    std::string bindAddress = "0.0.0.0";     // IPv4 address of both services
    uint16_t udpPort = 30718;                // 0: any free port (tests)
    uint16_t tcpPort = 10003;                // 0: any free port (tests)
    UnitSettingsState initial{};
    UnitFaults faults{};
};

// One datagram or one TCP request as the unit received it.
struct ReceivedRecord {
    enum class Channel { kUdp, kTcp };
    Channel channel = Channel::kUdp;
    int connection = 0;          // TCP: 1 for the first accepted connection, 2 for the next...
                                 // UDP: 0
    std::string command;         // the name used by UnitFaults::silentCommand, "??" if unknown
    std::vector<uint8_t> bytes;  // exactly as received
    uint16_t sourcePort = 0;     // host byte order
    uint16_t unitPort = 0;       // UDP: the unit's port it arrived on (host byte order)
    std::string sourceAddress;   // the sender's IPv4 address, dotted
};

// A LAN digital I/O unit as the program expects it: the UDP identification service, a TCP
// server taking one connection at a time (a new connection replaces the old one), the unit
// queries and the automatic ON/OFF commands of its model's command family, and the automatic
// ON/OFF cycle itself while its active flag is set.
//
// Thread-safe: every public member may be called from any thread while the unit runs.
// Observers are called on the unit's own threads and must not call stop().
class SimulatedUnit {
  public:
    explicit SimulatedUnit(UnitConfig config);
    ~SimulatedUnit();  // stops the unit
    SimulatedUnit(const SimulatedUnit&) = delete;
    SimulatedUnit& operator=(const SimulatedUnit&) = delete;

    // Binds both services and starts serving. False with a reason when a socket cannot be
    // opened or bound.
    bool start(std::string* error = nullptr);
    // Stops serving, closes every socket and joins every thread. Idempotent.
    void stop();

    uint16_t udpPort() const;  // actual ports after start(), host byte order
    uint16_t tcpPort() const;

    // A datagram that reached the unit's identification port as a broadcast, received by a
    // listener that several units share. The unit records and answers it on its own thread,
    // from its own main port, exactly like one that came to that port. Never blocks; dropped
    // while the unit is stopped or when 8 such datagrams already wait.
    void receiveBroadcast(std::span<const uint8_t> datagram, const sockaddr_in& source);

    UnitSettingsState settings() const;
    void setSettings(const UnitSettingsState& settings);
    void setFaults(const UnitFaults& faults);

    // Everything received so far, in order of arrival.
    std::vector<ReceivedRecord> received() const;
    void clearReceived();
    // Waits until at least `count` records were received, at most `timeout`.
    bool waitForReceived(size_t count, std::chrono::milliseconds timeout) const;
    int connectionsAccepted() const;

    // Current outputs: bit i set while DO(i+1) is on.
    uint8_t outputs() const;
    // Waits until `predicate(outputs())` holds, at most `timeout`.
    bool waitForOutputs(const std::function<bool(uint8_t)>& predicate,
                        std::chrono::milliseconds timeout) const;

    void setOutputObserver(std::function<void(uint8_t outputs)> observer);
    void setReceiveObserver(std::function<void(const ReceivedRecord&)> observer);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// "00 00 00 F6" style text of a byte sequence, for logs.
std::string hexText(const std::vector<uint8_t>& bytes);

}  // namespace mervane::sim
