// Every command of the unit's vocabulary against any reply, for any identified model and
// generation: no crash, no read beyond a reply, and out-parameters written only as promised.
//
// Input: model index, generation, command, channel, two argument bytes, then the stream's read
// events (the replies).

#include <cstdlib>

#include "link/DeviceIdentity.h"
#include "link/UnitCommands.h"
#include "tests/fuzz/FuzzInput.h"

using namespace mervane;

namespace {

constexpr int32_t kUntouched = -12345;

void expect(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    DeviceIdentity identity{};
    resetIdentity(identity, 100);
    identity.modelIndex = input.byte() % 34 - 1;  // one beyond each end of the table too
    constexpr std::array kGenerations{UnitGeneration::kUnset, UnitGeneration::kGen3,
                                      UnitGeneration::kGen4};
    identity.generation = kGenerations[input.byte() % kGenerations.size()];
    const uint8_t command = input.byte();
    const int channel = input.byte() % 10 - 1;
    const uint8_t argument1 = input.byte();
    const uint8_t argument2 = input.byte();
    testing::ScriptedStream stream;
    fuzzing::scriptStream(input, stream);
    testing::CountingClock clock;
    SessionTransport transport(stream, clock);
    UnitCommands commands(transport, identity);

    int32_t value = kUntouched;
    int32_t second = kUntouched;
    uint32_t mask = 0xDEADBEEF;
    int status = 0;
    switch (command % 13) {
        case 0:
            status = commands.queryUnit();
            if (status == 0) expect(identity.modelIndex >= 0 && identity.modelIndex < 32);
            if (status == 0) expect(identity.unitId <= 15);
            break;
        case 1:
            status = commands.queryUnitExtended();
            if (status == 0) expect(identity.modelIndex >= 0 && identity.modelIndex < 32);
            break;
        case 2:
            status = commands.setAutoActive(argument1 & 1);
            break;
        case 3:
            status = commands.getAutoActive(value);
            break;
        case 4:
            status = commands.setEnableMask(uint32_t{argument1} | uint32_t{argument2} << 8);
            break;
        case 5:
            status = commands.getEnableMask(mask);
            if (status != 0) expect(mask == 0xDEADBEEF);
            break;
        case 6:
            status = commands.setCommonInterval(argument1);
            break;
        case 7:
            status = commands.getCommonInterval(value);
            if (status == 0) expect(value >= 0 && value <= 255);
            break;
        case 8:
            status = commands.setChannelTimes(channel, argument1, argument2);
            if (argument1 == 0 || argument2 == 0) expect(status != 0 && stream.sendCalls() == 0);
            break;
        case 9:
            status = commands.getChannelTimes(channel, value, second);
            if (status == 0) expect(value >= 0 && value <= 255 && second >= 0 && second <= 255);
            break;
        case 10:
            status = commands.getOneShot(channel, value);
            if (status == 0) expect(value >= 0 && value <= 255);
            break;
        case 11:
            status = commands.clearOneShot(channel);
            break;
        default:
            status = commands.getAutoActive(value);
            if (status == 0) expect(value >= 0 && value <= 255);
            break;
    }
    if (command % 13 != 9 && status != 0) expect(value == kUntouched && second == kUntouched);
    // One request per exchange; only the unit query may fall back to a second one.
    expect(stream.sendCalls() <= 2);
    // A channel the model lacks is refused before anything is sent.
    if (channel < 0 || channel >= outputCount(identity)) {
        const int op = command % 13;
        if (op == 8 || op == 9 || op == 10 || op == 11) expect(stream.sendCalls() == 0);
    }
    return 0;
}
