#pragma once

#include <QString>

#include <array>
#include <cstddef>

#include "fleet/UnitWork.h"
#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"

namespace mervane {

// What the plant list does to the ticked units.
enum class PlantAction { kRead, kApplyProfile, kStart, kStop };

// The 結果 column for one unit's outcome: 完了, 検証済み, 変更なし, 失敗: and the operator
// message Connect would show, 適合しません: and the reason, 未実行. Pure; any thread.
QString plantResultText(const fleet::UnitOutcome& outcome);

// The settings columns after a read: the enable mask ("0x0F"), and the times of the outputs
// ("5/5 10/10 ...", ON/OFF of DO1 on, in units of 100 ms) or the common interval ("間隔 500 ms").
struct PlantSettingsTexts {
    QString mask;
    QString timing;
};
PlantSettingsTexts plantSettingsTexts(const AutoOnOffSettings& settings,
                                      const DeviceIdentity& unit);

// Counted results of one action, for the summary line.
struct PlantTally {
    size_t succeeded = 0;
    size_t failed = 0;
    size_t notStarted = 0;
    void add(const fleet::UnitOutcome& outcome);
};
// "成功 3 台、失敗 1 台、未実行 2 台".
QString plantSummaryText(const PlantTally& tally);

// "N 台のユニットに書き込みます。よろしいですか?"
QString plantWriteQuestion(size_t units);
// The one question of an action about one-shot output settings, naming how many units hold them.
QString plantOneShotQuestion(size_t units);

}  // namespace mervane
