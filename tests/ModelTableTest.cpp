// Which identified units get automatic ON/OFF, under which name, and in which command form.

#include <gtest/gtest.h>

#include <string>

#include "link/DeviceIdentity.h"

namespace mervane {
namespace {

struct UnitCase {
    int model;
    UnitGeneration generation;
    bool supported;
    std::string displayName;
    CommandForm form;
};

void PrintTo(const UnitCase& c, std::ostream* os) {
    *os << "model " << c.model << " generation " << static_cast<int>(c.generation);
}

class CapabilityTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(CapabilityTest, FamilyAndGenerationDecide) {
    const UnitCase& c = GetParam();
    DeviceIdentity identity;
    identity.modelIndex = c.model;
    identity.generation = c.generation;
    EXPECT_EQ(supportsAutoOnOff(identity), c.supported);
    EXPECT_EQ(modelDisplayName(identity), c.displayName);
    EXPECT_EQ(commandForm(identity), c.form);
}

constexpr auto G0 = UnitGeneration::kUnset;
constexpr auto G3 = UnitGeneration::kGen3;
constexpr auto G4 = UnitGeneration::kGen4;
constexpr auto Binary = CommandForm::kBinary;
constexpr auto Letter = CommandForm::kLetter;
constexpr auto Refused = CommandForm::kRefused;

INSTANTIATE_TEST_SUITE_P(
    Units, CapabilityTest,
    ::testing::Values(UnitCase{3, G3, true, "KX-M03G3", Binary},    // "_L" unit, family 1
                      UnitCase{0, G3, true, "KX-M00G3", Binary},    // family 2 on generation 3
                      UnitCase{0, G0, false, "KX-M00", Refused},    // "X6" unit answering 'UU'
                      UnitCase{3, G0, true, "KX-M03", Binary},      //
                      UnitCase{19, G4, true, "KX-M19", Letter},     // "_W" unit, 'MI'
                      UnitCase{0, G4, false, "KX-M00", Refused},    // family 2 needs exactly 3
                      UnitCase{6, G4, false, "KX-M06", Refused},    //
                      UnitCase{2, G3, false, "KX-M02G3", Refused},  // family 0, any generation
                      UnitCase{12, G4, false, "", Refused},         // an all-zero row
                      UnitCase{20, G3, true, "**", Letter},         // no generation-3 form
                      UnitCase{-1, G0, false, "", Refused}));       // nothing identified

TEST(IdentityTest, ResetForgetsTheEarlierUnitButKeepsItsAddress) {
    DeviceIdentity identity;
    identity.unitId = 3;
    identity.modelIndex = 19;
    identity.generation = UnitGeneration::kGen4;
    identity.typeCode = {'_', 'W'};
    identity.unitAddress.sin_port = htons(10003);
    resetIdentity(identity, 500);
    EXPECT_EQ(identity.unitId, kUnitIdUnknown);
    EXPECT_EQ(identity.modelIndex, kModelIndexUnknown);
    EXPECT_EQ(identity.generation, UnitGeneration::kUnset);
    EXPECT_EQ(identity.identTimeoutMs, 500);
    EXPECT_EQ(identity.typeCode[1], 'W');
    EXPECT_EQ(ntohs(identity.unitAddress.sin_port), 10003);
    EXPECT_EQ(modelRow(identity).outputCount, 0);
}

TEST(ModelTableTest, OnlyTheDocumentedModelsHaveAutomaticOnOff) {
    // Families 1 and 3 at 3, 4, 17, 19, 20, 22, 25, 26; family 2 at 0, 1, 6.
    std::string withFunction;
    for (int i = 0; i < kModelCount; ++i) {
        if (modelRow(i).commandFamily != CommandFamily::kNone) {
            withFunction += std::to_string(i) + " ";
        }
        EXPECT_LE(modelRow(i).outputCount, kMaxOutputs);
    }
    EXPECT_EQ(withFunction, "0 1 3 4 6 17 19 20 22 25 26 ");
}

}  // namespace
}  // namespace mervane
