#include "sim/UnitProtocol.h"

#include <gtest/gtest.h>

#include "tests/sim/TestSockets.h"

namespace mervane::sim {
namespace {

using testing::Bytes;
using testing::loopbackConfig;

UnitIdentity unitOf(int model, int unitId = 0, std::array<char, 2> type = {'_', 'W'}) {
    UnitConfig config = loopbackConfig(model, type);
    config.unitId = unitId;
    return UnitIdentity::of(config);
}

// Feeds `stream` to a fresh buffer in pieces of `piece` bytes and collects what it cuts.
std::vector<TcpRequest> frame(const Bytes& stream, size_t piece) {
    RequestBuffer buffer;
    std::vector<TcpRequest> requests;
    for (size_t at = 0; at < stream.size(); at += piece) {
        const size_t count = std::min(piece, stream.size() - at);
        std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), count,
                    buffer.freeSpace().begin());
        buffer.commit(count);
        while (auto request = buffer.take())
            requests.push_back(*request);
    }
    return requests;
}

class Exchange {
  public:
    explicit Exchange(UnitIdentity unit) : unit_(unit) {}
    std::optional<Bytes> operator()(const Bytes& bytes, const UnitFaults& faults = {}) {
        auto requests = frame(bytes, bytes.size());
        EXPECT_EQ(requests.size(), 1U);
        if (requests.empty()) return std::nullopt;
        return answerRequest(requests.front(), unit_, faults, settings);
    }
    UnitSettingsState settings{};

  private:
    UnitIdentity unit_;
};

TEST(RequestFraming, CutsEveryRequestKindAlsoWhenItArrivesByteByByte) {
    const Bytes stream{'U',  'U', 'M', 'I',  0xC8, 0xE2, 0xF3, 0x07, 'U', 'X',
                       0xC8, 'O', 'T', 0x21, '0',  'A',  '1',  'B',  0xC8};
    for (size_t piece : {size_t{1}, size_t{3}, stream.size()}) {
        const auto requests = frame(stream, piece);
        ASSERT_EQ(requests.size(), 6U) << "piece " << piece;
        EXPECT_EQ(requests[0].command, "UU");
        EXPECT_EQ(requests[1].command, "MI");
        EXPECT_EQ(requests[2].command, "E2");
        EXPECT_EQ(requests[3].command, "F3");
        EXPECT_EQ(requests[3].bytes, (Bytes{0xF3, 0x07}));
        EXPECT_EQ(requests[4].command, "UX");  // 'U' alone does not make a "UU"
        EXPECT_EQ(requests[5].bytes, Bytes(stream.end() - 8, stream.end()));
    }
}

TEST(RequestFraming, DropsRunawayLetterRequestsAndUnknownBytes) {
    Bytes runaway(17, 'A');
    auto requests = frame(runaway, 1);
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].command, "??");
    EXPECT_EQ(requests[0].bytes.size(), 17U);

    requests = frame({0x00, 0x12, 0x34}, 3);
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].command, "??");

    // Sixteen bytes and the end still make a request.
    Bytes longest(16, 'B');
    longest.push_back(kFrameEnd);
    requests = frame(longest, 4);
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].command, "BB");
}

TEST(UnitQueries, UuOnlyForModelsBelowEight) {
    UnitFaults faults;
    EXPECT_EQ(Exchange(unitOf(6, 2))({'U', 'U'}), (Bytes{0x6D, 0x30}));
    EXPECT_EQ(Exchange(unitOf(0, 15))({'U', 'U'}), (Bytes{0x00, 0x30}));
    faults.uuHighNibble7 = true;
    EXPECT_EQ(Exchange(unitOf(3))({'U', 'U'}, faults), (Bytes{0x3F, 0x75}));
    EXPECT_EQ(Exchange(unitOf(8))({'U', 'U'}), std::nullopt);
    EXPECT_EQ(Exchange(unitOf(19))({'U', 'U'}), std::nullopt);
    faults = {};
    faults.noUuAnswer = true;
    EXPECT_EQ(Exchange(unitOf(3))({'U', 'U'}, faults), std::nullopt);
}

TEST(UnitQueries, MiEscapesModelsFromSixteen) {
    const Bytes mi{'M', 'I', 0xC8};
    EXPECT_EQ(Exchange(unitOf(5, 1))(mi), (Bytes{'m', 'i', 0x3E, 0x35, 0xC8}));
    EXPECT_EQ(Exchange(unitOf(10))(mi), (Bytes{'m', 'i', 0x3F, 0x3A, 0xC8}));
    EXPECT_EQ(Exchange(unitOf(19, 3))(mi), (Bytes{'m', 'i', 0x3C, 0x3F, 0x33, 0xC8}));
}

TEST(LetterCommands, WritesReadBack) {
    Exchange unit(unitOf(19));
    EXPECT_EQ(unit({'O', 'T', 0x23, '1', 'F', 'a', '0', 0xC8}), (Bytes{'o', 't', 0xC8}));
    EXPECT_EQ(unit({'O', 'I', 0x23, 0xC8}), (Bytes{'o', 'i', 0x23, '1', 'F', 'A', '0', 0xC8}));
    EXPECT_EQ(unit.settings.onTime[3], 0x1F);

    EXPECT_EQ(unit({'O', 'C', 0x25, 0x2A, 0xC8}), (Bytes{'o', 'c', 0xC8}));
    EXPECT_EQ(unit.settings.enableMask, 0xA5);
    EXPECT_EQ(unit({'O', 'H', 0xC8}), (Bytes{'o', 'h', 0x25, 0x2A, 0xC8}));

    EXPECT_EQ(unit({'O', 'J', 0xC8}), (Bytes{'o', 'j', 0x20, 0xC8}));
    EXPECT_EQ(unit({'O', 'L', 0x28, 0xC8}), (Bytes{'o', 'l', 0x28, 0xC8}));
    EXPECT_EQ(unit({'O', 'J', 0xC8}), (Bytes{'o', 'j', 0x28, 0xC8}));
    EXPECT_EQ(unit({'O', 'L', 0x20, 0xC8}), (Bytes{'o', 'l', 0x20, 0xC8}));
    EXPECT_EQ(unit.settings.active, 0);

    unit.settings.oneShot[7] = 0x3C;
    EXPECT_EQ(unit({'N', 'J', 0x27, 0xC8}), (Bytes{'n', 'j', 0x27, '3', 'C', 0xC8}));
    EXPECT_EQ(unit({'N', 'S', 0x27, '0', '0', 0xC8}), (Bytes{'n', 's', 0xC8}));
    EXPECT_EQ(unit({'N', 'J', 0x27, 0xC8}), (Bytes{'n', 'j', 0x27, '0', '0', 0xC8}));
}

TEST(LetterCommands, RefusesWhatTheModelLacks) {
    Exchange unit(unitOf(17));  // four outputs
    EXPECT_EQ(unit({'O', 'C', 0x2F, 0x2F, 0xC8}), (Bytes{'o', 'c', 0xC8}));
    EXPECT_EQ(unit.settings.enableMask, 0x0F);
    EXPECT_EQ(unit({'O', 'I', 0x24, 0xC8}), std::nullopt);
    EXPECT_EQ(unit({'O', 'T', 0x1F, '0', '1', '0', '1', 0xC8}), std::nullopt);
    EXPECT_EQ(unit({'O', 'L', 0xC8}), std::nullopt);  // argument missing
    EXPECT_EQ(unit({'Q', 'Q', 0xC8}), std::nullopt);
    EXPECT_EQ(unit({0xE1}), std::nullopt);
    EXPECT_EQ(unit({0xF1, 0x01}), std::nullopt);
    EXPECT_EQ(unit.settings.active, 0);
}

TEST(BinaryCommands, WritesReadBackOnBinaryFamiliesOnly) {
    for (int model : {0, 3}) {
        Exchange unit(unitOf(model, 0, {'_', 'L'}));
        EXPECT_EQ(unit({0xF1, 0x01}), (Bytes{0xF1, 0x00}));
        EXPECT_EQ(unit({0xF2, 0x13}), (Bytes{0xF2, 0x00}));
        EXPECT_EQ(unit({0xF3, 0xFF}), (Bytes{0xF3, 0x00}));
        EXPECT_EQ(unit({0xE1}), (Bytes{0xE1, 0x01}));
        EXPECT_EQ(unit({0xE2}), (Bytes{0xE2, 0x13}));
        EXPECT_EQ(unit({0xE3}), (Bytes{0xE3, 0x1F}));
        EXPECT_EQ(unit({'O', 'J', 0xC8}), std::nullopt);
    }
    Exchange none(unitOf(2));
    EXPECT_EQ(none({0xE1}), std::nullopt);
}

TEST(ReplyFaults, ShapeTheReplyBytes) {
    UnitFaults faults;
    faults.strayFramesBeforeReply = 2;
    Exchange letter(unitOf(19));
    EXPECT_EQ(letter({'O', 'J', 0xC8}, faults),
              (Bytes{'x', 'x', 0x20, 0xC8, 'x', 'x', 0x20, 0xC8, 'o', 'j', 0x20, 0xC8}));

    faults = {};
    faults.oneByteBinaryReply = true;
    Exchange binary(unitOf(3));
    EXPECT_EQ(binary({0xE3}, faults), (Bytes{0xE3}));

    // A silenced write still takes effect: only its reply is missing.
    faults = {};
    faults.silentCommand = "OL";
    EXPECT_EQ(letter({'O', 'L', 0x28, 0xC8}, faults), std::nullopt);
    EXPECT_EQ(letter.settings.active, 1);
    EXPECT_TRUE(letter({'O', 'J', 0xC8}, faults).has_value());
}

TEST(Identification, NamesAndReplies) {
    EXPECT_EQ(datagramName(Bytes{0, 0, 0, 0xF6}), "F6");
    EXPECT_EQ(datagramName(Bytes{'L', 'N'}), "LN");
    EXPECT_EQ(datagramName(Bytes{0, 0, 0, 0xE7}), "E7");
    EXPECT_EQ(datagramName(Bytes{0, 0, 0xF6}), "??");
    EXPECT_EQ(datagramName(Bytes{0, 0, 0, 0xF5}), "??");

    const UnitIdentity unit = unitOf(19, 0, {'X', '6'});
    UnitFaults faults;
    const auto first = datagramReply("F6", unit, faults);
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 30U);
    EXPECT_EQ((*first)[8], 'X');
    EXPECT_EQ((*first)[9], '6');
    EXPECT_FALSE(datagramReply("LN", unit, faults).has_value());
    EXPECT_EQ(datagramReply("F8", unit, faults)->size(), 124U);
    EXPECT_EQ(datagramReply("F4", unit, faults)->size(), 33U);
    EXPECT_EQ(datagramReply("E7", unit, faults)->size(), 130U);
    EXPECT_FALSE(datagramReply("??", unit, faults).has_value());

    faults.answerBothFirstRequests = true;
    faults.firstReplySize = 9;  // too short to hold the whole type code
    const auto shortReply = datagramReply("LN", unit, faults);
    ASSERT_TRUE(shortReply.has_value());
    ASSERT_EQ(shortReply->size(), 9U);
    EXPECT_EQ((*shortReply)[8], 'X');
}

}  // namespace
}  // namespace mervane::sim
