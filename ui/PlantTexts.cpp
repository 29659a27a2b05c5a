#include "ui/PlantTexts.h"

#include <QCoreApplication>
#include <QStringList>

#include "link/ModelTable.h"
#include "ui/OperatorMessageTexts.h"
#include "ui/ProfileTexts.h"
#include "ui/QtText.h"

namespace mervane {

namespace {

// The context these texts are translated in.
class PlantTexts {
    Q_DECLARE_TR_FUNCTIONS(PlantTexts)
};

}  // namespace

QString plantResultText(const fleet::UnitOutcome& outcome) {
    using fleet::UnitResult;
    switch (outcome.result) {
        case UnitResult::kDone:
            return PlantTexts::tr("完了");
        case UnitResult::kVerified:
            return PlantTexts::tr("検証済み");
        case UnitResult::kUnchanged:
            return PlantTexts::tr("変更なし");
        case UnitResult::kMisfit:
            return PlantTexts::tr("適合しません: %1")
                .arg(outcome.mismatch ? profileMismatchReason(*outcome.mismatch, outcome.identity)
                                      : operatorMessageText(outcome.message));
        case UnitResult::kOneShotLeft:
            return PlantTexts::tr("未実行: ワンショット出力設定を解除しませんでした");
        case UnitResult::kNotStarted:
            return PlantTexts::tr("未実行");
        case UnitResult::kFailed:
            if (!outcome.verifyDifference.empty()) {
                return PlantTexts::tr("失敗: 読み戻した設定が書き込んだ設定と違います (%1)")
                    .arg(fromUtf8(outcome.verifyDifference));
            }
            break;
        case UnitResult::kRefused:
            break;
    }
    return PlantTexts::tr("失敗: %1")
        .arg(operatorMessageText(outcome.message.empty() ? kCommunicationErrorMessage
                                                         : outcome.message));
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
        texts.timing = PlantTexts::tr("間隔 %1 ms").arg(*ms);
    } else {
        texts.timing = PlantTexts::tr("間隔 (番号 %1)").arg(settings.intervalIndex);
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
    return PlantTexts::tr("成功 %1 台、失敗 %2 台、未実行 %3 台")
        .arg(tally.succeeded)
        .arg(tally.failed)
        .arg(tally.notStarted);
}

QString plantWriteQuestion(size_t units) {
    return PlantTexts::tr("%n 台のユニットに書き込みます。よろしいですか?", nullptr,
                          static_cast<int>(units));
}

QString plantOneShotQuestion(size_t units) {
    return PlantTexts::tr(
        "%n 台のユニットにワンショット出力設定されている端子があります。\n"
        "自動ONOFF動作はワンショット出力設定と共存できません。\n"
        "これらのユニットのワンショット出力設定を解除しますか？",
        nullptr, static_cast<int>(units));
}

}  // namespace mervane
