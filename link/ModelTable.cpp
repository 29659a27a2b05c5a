#include "link/ModelTable.h"

namespace mervane {

namespace {
constexpr CommandFamily F0 = CommandFamily::kNone;
constexpr CommandFamily F1 = CommandFamily::kBinary;
constexpr CommandFamily F2 = CommandFamily::kBinaryGen3Only;
constexpr CommandFamily F3 = CommandFamily::kLetter;

constexpr ModelRow kNoModel{0, 0, F0, {0, 0, 0, 0, 0, 0}};
}  // namespace

const std::array<ModelRow, kModelCount> ModelTable{{
    /*  0 */ {2, 3, F2, {1, 1, 1, 1, 1, 1}},
    /*  1 */ {3, 2, F2, {2, 2, 2, 2, 2, 2}},
    /*  2 */ {0, 7, F0, {2, 2, 2, 2, 2, 2}},
    /*  3 */ {5, 0, F1, {0, 0, 0, 0, 0, 0}},
    /*  4 */ {5, 2, F1, {2, 2, 2, 2, 2, 2}},
    /*  5 */ {0, 5, F0, {1, 1, 1, 1, 1, 1}},
    /*  6 */ {3, 3, F2, {1, 1, 1, 1, 1, 1}},
    /*  7 */ {2, 2, F0, {0, 0, 1, 0, 1, 0}},
    /*  8 */ {2, 2, F0, {0, 0, 1, 0, 1, 0}},
    /*  9 */ {2, 2, F0, {0, 0, 1, 0, 1, 0}},
    /* 10 */ {2, 2, F0, {0, 0, 1, 0, 1, 0}},
    /* 11 */ kNoModel,
    /* 12 */ kNoModel,
    /* 13 */ kNoModel,
    /* 14 */ kNoModel,
    /* 15 */ kNoModel,
    /* 16 */ kNoModel,
    /* 17 */ {4, 4, F3, {3, 3, 3, 3, 3, 3}},
    /* 18 */ kNoModel,
    /* 19 */ {8, 0, F3, {0, 0, 0, 0, 0, 0}},
    /* 20 */ {8, 0, F3, {0, 0, 0, 0, 0, 0}},
    /* 21 */ {0, 8, F0, {3, 3, 3, 3, 3, 3}},
    /* 22 */ {4, 4, F3, {3, 3, 3, 3, 3, 3}},
    /* 23 */ kNoModel,
    /* 24 */ kNoModel,
    /* 25 */ {2, 2, F3, {3, 3, 3, 3, 3, 3}},
    /* 26 */ {2, 2, F3, {3, 3, 3, 3, 3, 3}},
    /* 27 */ kNoModel,
    /* 28 */ kNoModel,
    /* 29 */ kNoModel,
    /* 30 */ kNoModel,
    /* 31 */ kNoModel,
}};

const std::array<std::string_view, 2 * kModelCount> ModelDisplayNames{{
    "KX-M00", "KX-M00G3",  // 0
    "KX-M01", "KX-M01G3",  // 1
    "KX-M02", "KX-M02G3",  // 2
    "KX-M03", "KX-M03G3",  // 3
    "KX-M04", "KX-M04G3",  // 4
    "KX-M05", "KX-M05G3",  // 5
    "KX-M06", "KX-M06G3",  // 6
    "",       "",          // 7
    "KX-M08", "**",        // 8
    "KX-M09", "**",        // 9
    "KX-M10", "**",        // 10
    "KX-M11", "**",        // 11
    "",       "",          // 12
    "",       "",          // 13
    "",       "",          // 14
    "",       "",          // 15
    "",       "",          // 16
    "KX-M17", "**",        // 17
    "",       "",          // 18
    "KX-M19", "**",        // 19
    "KX-M20", "**",        // 20
    "KX-M21", "**",        // 21
    "KX-M22", "**",        // 22
    "",       "",          // 23
    "",       "",          // 24
    "KX-M25", "**",        // 25
    "KX-M26", "**",        // 26
    "",       "",          // 27
    "",       "",          // 28
    "",       "",          // 29
    "",       "",          // 30
    "",       "",          // 31
}};

const ModelRow& modelRow(int32_t modelIndex) {
    if (modelIndex < 0 || modelIndex >= kModelCount) return kNoModel;
    return ModelTable[static_cast<size_t>(modelIndex)];
}

}  // namespace mervane
