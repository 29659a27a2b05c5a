// The unit command set over a scripted stream: every request byte for byte in both encodings,
// the decoding of every reply kind, and the refusals that must not put anything on the wire.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "link/SessionTransport.h"
#include "link/SocketError.h"
#include "link/Status.h"
#include "link/UnitCommands.h"
#include "tests/FakeStream.h"

namespace mervane {
namespace {

using testing::CountingClock;
using testing::fromHex;
using testing::ScriptedStream;

DeviceIdentity unit(int modelIndex, UnitGeneration generation) {
    DeviceIdentity identity;
    identity.modelIndex = modelIndex;
    identity.generation = generation;
    identity.unitId = 0;
    return identity;
}

constexpr int kLetter8 = 19;  // family 3, 8 outputs
constexpr int kLetter4 = 17;  // family 3, 4 outputs
constexpr int kBinary5 = 3;   // family 1, 5 outputs
constexpr int kGen3Only = 0;  // family 2, 2 outputs

struct Exchange {
    UnitCommands* commands;
    int32_t a = -7;
    int32_t b = -7;
    uint32_t mask = 0xDEAD;
};

struct CommandCase {
    std::string name;
    int model;
    UnitGeneration generation;
    std::function<int(Exchange&)> call;
    std::string request;  // hex; empty: nothing may be sent
    std::string reply;    // hex fed to the stream
    int status;
    std::function<void(const Exchange&)> check = [](const Exchange&) {};
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandEncodingTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandEncodingTest, SendsExactRequestAndDecodesReply) {
    const CommandCase& c = GetParam();
    ScriptedStream stream;
    CountingClock clock;
    SessionTransport transport{stream, clock};
    DeviceIdentity identity = unit(c.model, c.generation);
    UnitCommands commands{transport, identity};
    if (!c.reply.empty()) stream.data(c.reply);

    setLastSocketError(4242);
    Exchange exchange{&commands};
    EXPECT_EQ(c.call(exchange), c.status);
    EXPECT_EQ(stream.sent(), fromHex(c.request));
    if (c.request.empty()) {
        EXPECT_EQ(stream.sendCalls(), 0);
        EXPECT_EQ(lastSocketError(), 4242) << "a refusal leaves the last error alone";
    }
    c.check(exchange);
}

const auto kGen4 = UnitGeneration::kGen4;
const auto kGen3 = UnitGeneration::kGen3;
const auto kUnset = UnitGeneration::kUnset;

int setActiveOn(Exchange& e) {
    return e.commands->setAutoActive(true);
}
int setActiveOff(Exchange& e) {
    return e.commands->setAutoActive(false);
}
int getActive(Exchange& e) {
    return e.commands->getAutoActive(e.a);
}
int getMask(Exchange& e) {
    return e.commands->getEnableMask(e.mask);
}
int getInterval(Exchange& e) {
    return e.commands->getCommonInterval(e.a);
}
std::function<int(Exchange&)> setMask(uint32_t m) {
    return [m](Exchange& e) { return e.commands->setEnableMask(m); };
}
std::function<int(Exchange&)> setInterval(int32_t i) {
    return [i](Exchange& e) { return e.commands->setCommonInterval(i); };
}
std::function<int(Exchange&)> setTimes(int ch, int32_t on, int32_t off) {
    return [=](Exchange& e) { return e.commands->setChannelTimes(ch, on, off); };
}
std::function<int(Exchange&)> getTimes(int ch) {
    return [ch](Exchange& e) { return e.commands->getChannelTimes(ch, e.a, e.b); };
}
std::function<int(Exchange&)> getOneShot(int ch) {
    return [ch](Exchange& e) { return e.commands->getOneShot(ch, e.a); };
}
std::function<int(Exchange&)> clearOneShot(int ch) {
    return [ch](Exchange& e) { return e.commands->clearOneShot(ch); };
}
std::function<void(const Exchange&)> aIs(int32_t v) {
    return [v](const Exchange& e) { EXPECT_EQ(e.a, v); };
}
std::function<void(const Exchange&)> timesAre(int32_t on, int32_t off) {
    return [=](const Exchange& e) {
        EXPECT_EQ(e.a, on);
        EXPECT_EQ(e.b, off);
    };
}
std::function<void(const Exchange&)> maskIs(uint32_t m) {
    return [m](const Exchange& e) { EXPECT_EQ(e.mask, m); };
}

std::string caseName(const ::testing::TestParamInfo<CommandCase>& param) {
    return param.param.name;
}

constexpr int ok = kStatusOk;
constexpr int bad = kStatusFailure;

INSTANTIATE_TEST_SUITE_P(
    Letter, CommandEncodingTest,
    ::testing::Values(
        CommandCase{"ActiveOn", kLetter8, kGen4, setActiveOn, "4F 4C 28 C8", "6F 6C C8", ok},
        CommandCase{"ActiveOff", kLetter8, kGen4, setActiveOff, "4F 4C 20 C8", "6F 6C 20 C8", ok},
        CommandCase{"GetActiveSet", kLetter8, kGen4, getActive, "4F 4A C8", "6F 6A 28 C8", ok,
                    aIs(1)},
        CommandCase{"GetActiveClear", kLetter8, kGen4, getActive, "4F 4A C8", "6F 6A 20 C8", ok,
                    aIs(0)},
        CommandCase{"GetActiveFrameTooShort", kLetter8, kGen4, getActive, "4F 4A C8", "6F 6A C8",
                    bad, aIs(-7)},
        CommandCase{"MaskOnFourOutputsStillTwoNibbles", kLetter4, kGen4, setMask(0x05),
                    "4F 43 25 20 C8", "6F 63 C8", ok},
        CommandCase{"MaskBitsBeyondTwoNibblesDropped", kLetter8, kGen4, setMask(0x1A5),
                    "4F 43 25 2A C8", "6F 63 C8", ok},
        CommandCase{"GetMask", kLetter8, kGen4, getMask, "4F 48 C8", "6F 68 2F 21 C8", ok,
                    maskIs(0x1F)},
        CommandCase{"GetMaskEmptyFrame", kLetter8, kGen4, getMask, "4F 48 C8", "6F 68 C8", ok,
                    maskIs(0)},
        CommandCase{"SetTimesAsHexPairs", kLetter8, kGen4, setTimes(0, 255, 10),
                    "4F 54 20 46 46 30 41 C8", "6F 74 C8", ok},
        CommandCase{"SetTimesLastChannel", kLetter8, kGen4, setTimes(7, 1, 1),
                    "4F 54 27 30 31 30 31 C8", "6F 74 C8", ok},
        CommandCase{"GetTimes", kLetter8, kGen4, getTimes(2), "4F 49 22 C8",
                    "6F 69 22 46 46 30 41 C8", ok, timesAre(255, 10)},
        CommandCase{"GetTimesLowerCaseAndBlank", kLetter8, kGen4, getTimes(2), "4F 49 22 C8",
                    "6F 69 22 20 66 31 5A C8", ok, timesAre(15, 1)},
        CommandCase{"GetTimesFrameTooShortZeroesBoth", kLetter8, kGen4, getTimes(2), "4F 49 22 C8",
                    "6F 69 22 46 46 C8", bad, timesAre(0, 0)},
        CommandCase{"GetOneShot", kLetter8, kGen4, getOneShot(1), "4E 4A 21 C8",
                    "6E 6A 21 30 35 C8", ok, aIs(5)},
        CommandCase{"GetOneShotFrameTooShort", kLetter8, kGen4, getOneShot(1), "4E 4A 21 C8",
                    "6E 6A 21 C8", bad, aIs(-7)},
        CommandCase{"ClearOneShot", kLetter8, kGen4, clearOneShot(7), "4E 53 27 30 30 C8",
                    "6E 73 C8", ok}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Binary, CommandEncodingTest,
    ::testing::Values(
        CommandCase{"ActiveOn", kBinary5, kUnset, setActiveOn, "F1 01", "F1 00", ok},
        CommandCase{"ActiveOff", kBinary5, kGen4, setActiveOff, "F1 00", "F1 00", ok},
        CommandCase{"GetActiveWholeByte", kBinary5, kGen3, getActive, "E1", "00 02", ok, aIs(2)},
        CommandCase{"MaskKeepsFiveOutputs", kBinary5, kGen3, setMask(0xFF), "F3 1F", "F3 00", ok},
        CommandCase{"GetMask", kBinary5, kGen3, getMask, "E3", "E3 15", ok, maskIs(0x15)},
        CommandCase{"IntervalWithoutSelection", kBinary5, kGen3, setInterval(-1), "F2 FF", "F2 00",
                    ok},
        CommandCase{"Interval", kBinary5, kGen3, setInterval(5), "F2 05", "F2 00", ok},
        CommandCase{"GetIntervalBeyondList", kBinary5, kGen3, getInterval, "E2", "E2 28", ok,
                    aIs(40)},
        CommandCase{"OneByteReplyFails", kBinary5, kGen3, getActive, "E1", "00", bad, aIs(-7)},
        CommandCase{"Gen3OnlyFamilyOnGen3", kGen3Only, kGen3, getMask, "E3", "E3 03", ok,
                    maskIs(3)}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Refused, CommandEncodingTest,
    ::testing::Values(
        CommandCase{"Gen3OnlyFamilyOnGen4", kGen3Only, kGen4, setActiveOn, "", "", bad},
        CommandCase{"Gen3OnlyFamilyUnset", kGen3Only, kUnset, getActive, "", "", bad, aIs(-7)},
        CommandCase{"NoAutoOnOffModel", 2, kGen3, setMask(1), "", "", bad},
        CommandCase{"UnidentifiedUnit", -1, kUnset, getMask, "", "", bad, maskIs(0xDEAD)},
        CommandCase{"IntervalOnLetterUnit", kLetter8, kGen4, setInterval(1), "", "", bad},
        CommandCase{"GetIntervalOnLetterUnit", kLetter8, kGen4, getInterval, "", "", bad},
        CommandCase{"TimesOnBinaryUnitLeftUntouched", kBinary5, kGen4, getTimes(0), "", "", bad,
                    timesAre(-7, -7)},
        CommandCase{"SetTimesOnBinaryUnit", kBinary5, kGen4, setTimes(0, 1, 1), "", "", bad},
        CommandCase{"OnTimeZero", kLetter8, kGen4, setTimes(1, 0, 5), "", "", bad},
        CommandCase{"OffTimeZero", kLetter8, kGen4, setTimes(1, 5, 0), "", "", bad},
        CommandCase{"TimeBeyondOneByte", kLetter8, kGen4, setTimes(1, 256, 5), "", "", bad},
        CommandCase{"ChannelBeyondOutputs", kLetter4, kGen4, setTimes(4, 1, 1), "", "", bad},
        CommandCase{"NegativeChannel", kLetter8, kGen4, getTimes(-1), "", "", bad,
                    timesAre(-7, -7)},
        CommandCase{"OneShotChannelBeyondOutputs", kLetter4, kGen4, getOneShot(4), "", "", bad},
        CommandCase{"ClearOneShotChannelBeyondOutputs", kLetter8, kGen4, clearOneShot(8), "", "",
                    bad}),
    caseName);

class UnitQueryTest : public ::testing::Test {
  protected:
    ScriptedStream stream;
    CountingClock clock;
    SessionTransport transport{stream, clock};
    DeviceIdentity identity = unit(kModelIndexUnknown, UnitGeneration::kGen3);
    UnitCommands commands{transport, identity};
    void SetUp() override { identity.unitId = kUnitIdUnknown; }
};

TEST_F(UnitQueryTest, UUReplyGivesUnitIdAndModelAndKeepsGeneration) {
    stream.data("2C 30");
    ASSERT_EQ(commands.queryUnit(), kStatusOk);
    EXPECT_EQ(stream.sent(), fromHex("55 55"));
    EXPECT_EQ(identity.unitId, 3);
    EXPECT_EQ(identity.modelIndex, 2);
    EXPECT_EQ(identity.generation, UnitGeneration::kGen3);
}

TEST_F(UnitQueryTest, UUSecondByteWithHighNibbleSevenFailsWithoutFallback) {
    stream.data("2C 75");
    EXPECT_EQ(commands.queryUnit(), kStatusFailure);
    EXPECT_EQ(stream.sent(), fromHex("55 55"));
    EXPECT_EQ(identity.unitId, kUnitIdUnknown);
    EXPECT_EQ(identity.modelIndex, kModelIndexUnknown);
}

TEST_F(UnitQueryTest, UnansweredUUFallsBackToMIWithEscape) {
    stream.timeOut().timeOut().data("6D 69 30 3F 31 C8");
    ASSERT_EQ(commands.queryUnit(), kStatusOk);
    EXPECT_EQ(stream.sent(), fromHex("55 55 4D 49 C8"));
    EXPECT_EQ(identity.modelIndex, 17);
    EXPECT_EQ(identity.unitId, 15);
    EXPECT_EQ(identity.generation, UnitGeneration::kGen4);
}

TEST_F(UnitQueryTest, Generation4AsksMIOnly) {
    identity.generation = UnitGeneration::kGen4;
    stream.data("6D 69 3E 34 C8");
    ASSERT_EQ(commands.queryUnit(), kStatusOk);
    EXPECT_EQ(stream.sent(), fromHex("4D 49 C8"));
    EXPECT_EQ(identity.modelIndex, 4);
    EXPECT_EQ(identity.unitId, 1);
}

TEST_F(UnitQueryTest, MIReplyWithWrongLettersOrTerminatorLeavesIdentityAlone) {
    for (const char* reply : {"6D 6A 3E 34 C8", "6D 69 3E 34 C9", "6D 69 30 3F 31 00"}) {
        ScriptedStream s;
        SessionTransport t{s, clock};
        DeviceIdentity id = unit(kModelIndexUnknown, UnitGeneration::kUnset);
        UnitCommands c{t, id};
        s.data(reply);
        EXPECT_EQ(c.queryUnitExtended(), kStatusFailure) << reply;
        EXPECT_EQ(id.modelIndex, kModelIndexUnknown) << reply;
        EXPECT_EQ(id.generation, UnitGeneration::kUnset) << reply;
    }
}

TEST_F(UnitQueryTest, FailedUUSendHasNoFallback) {
    stream.failSends(wsa::kConnectionReset);
    EXPECT_EQ(commands.queryUnit(), kStatusFailure);
    EXPECT_EQ(stream.sendCalls(), 1);
}

}  // namespace
}  // namespace mervane
