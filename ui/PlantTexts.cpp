#include "ui/PlantTexts.h"

#include <QStringList>

#include "link/ModelTable.h"
#include "ui/ProfileTexts.h"
#include "ui/QtText.h"

namespace mervane {

QString plantResultText(const fleet::UnitOutcome& outcome) {
    using fleet::UnitResult;
    switch (outcome.result) {
        case UnitResult::kDone:
            return QStringLiteral("完了");
        case UnitResult::kVerified:
            return QStringLiteral("検証済み");
        case UnitResult::kUnchanged:
            return QStringLiteral("変更なし");
        case UnitResult::kMisfit:
            return QStringLiteral("適合しません: %1")
                .arg(outcome.mismatch
                         ? fromUtf8(profileMismatchReason(*outcome.mismatch, outcome.identity))
                         : fromUtf8(outcome.message));
        case UnitResult::kOneShotLeft:
            return QStringLiteral("未実行: ワンショット出力設定を解除しませんでした");
        case UnitResult::kNotStarted:
            return QStringLiteral("未実行");
        case UnitResult::kFailed:
            if (!outcome.verifyDifference.empty()) {
                return QStringLiteral("失敗: 読み戻した設定が書き込んだ設定と違います (%1)")
                    .arg(fromUtf8(outcome.verifyDifference));
            }
            break;
        case UnitResult::kRefused:
            break;
    }
    return QStringLiteral("失敗: %1")
        .arg(outcome.message.empty() ? QStringLiteral("通信エラー") : fromUtf8(outcome.message));
}

PlantSettingsTexts plantSettingsTexts(const AutoOnOffSettings& settings,
                                      const DeviceIdentity& unit) {
    PlantSettingsTexts texts;
    texts.mask = QStringLiteral("0x") +
                 QString::number(settings.enableMask, 16).toUpper().rightJustified(2, u'0');
    if (hasPerOutputTimes(unit)) {
        QStringList times;
        const int outputs = outputCount(unit);
        for (int c = 0; c < outputs && c < kMaxOutputs; ++c) {
            const auto i = static_cast<size_t>(c);
            times << QStringLiteral("%1/%2").arg(settings.onTime[i]).arg(settings.offTime[i]);
        }
        texts.timing = times.join(u' ');
    } else if (const auto ms = intervalMs(settings.intervalIndex)) {
        texts.timing = QStringLiteral("間隔 %1 ms").arg(*ms);
    } else {
        texts.timing = QStringLiteral("間隔 (番号 %1)").arg(settings.intervalIndex);
    }
    return texts;
}

void PlantTally::add(const fleet::UnitOutcome& outcome) {
    if (outcome.succeeded()) {
        ++succeeded;
    } else if (outcome.result == fleet::UnitResult::kNotStarted ||
               outcome.result == fleet::UnitResult::kOneShotLeft) {
        ++notStarted;
    } else {
        ++failed;
    }
}

QString plantSummaryText(const PlantTally& tally) {
    return QStringLiteral("成功 %1 台、失敗 %2 台、未実行 %3 台")
        .arg(tally.succeeded)
        .arg(tally.failed)
        .arg(tally.notStarted);
}

QString plantWriteQuestion(size_t units) {
    return QStringLiteral("%1 台のユニットに書き込みます。よろしいですか?").arg(units);
}

QString plantOneShotQuestion(size_t units) {
    return QStringLiteral(
               "%1 台のユニットにワンショット出力設定されている端子があります。\n"
               "自動ONOFF動作はワンショット出力設定と共存できません。\n"
               "これらのユニットのワンショット出力設定を解除しますか？")
        .arg(units);
}

}  // namespace mervane
