#include "link/DeviceIdentity.h"

namespace mervane {

void resetIdentity(DeviceIdentity& identity, int32_t identTimeoutMs) {
    identity.unitId = kUnitIdUnknown;
    identity.modelIndex = kModelIndexUnknown;
    identity.generation = UnitGeneration::kUnset;
    identity.identTimeoutMs = identTimeoutMs;
}

const ModelRow& modelRow(const DeviceIdentity& identity) {
    return modelRow(identity.modelIndex);
}

int outputCount(const DeviceIdentity& identity) {
    const int count = modelRow(identity).outputCount;
    return count < 0 ? 0 : (count > kMaxOutputs ? kMaxOutputs : count);
}

std::string_view modelDisplayName(const DeviceIdentity& identity) {
    if (identity.modelIndex < 0 || identity.modelIndex >= kModelCount) return {};
    const size_t gen3 = identity.generation == UnitGeneration::kGen3 ? 1 : 0;
    return ModelDisplayNames[2 * static_cast<size_t>(identity.modelIndex) + gen3];
}

CommandForm commandForm(const DeviceIdentity& identity) {
    switch (modelRow(identity).commandFamily) {
        case CommandFamily::kBinary:
            return CommandForm::kBinary;
        case CommandFamily::kBinaryGen3Only:
            return identity.generation == UnitGeneration::kGen3 ? CommandForm::kBinary
                                                                : CommandForm::kRefused;
        case CommandFamily::kLetter:
            return CommandForm::kLetter;
        case CommandFamily::kNone:
            break;
    }
    return CommandForm::kRefused;
}

bool hasPerOutputTimes(const DeviceIdentity& identity) {
    return identity.generation == UnitGeneration::kGen4;
}

bool supportsAutoOnOff(const DeviceIdentity& identity) {
    return commandForm(identity) != CommandForm::kRefused;
}

}  // namespace mervane
