#include "ui/ProfileTexts.h"

#include <QCoreApplication>

#include "ui/QtText.h"

namespace mervane {

namespace {

// The context these texts are translated in.
class ProfileTexts {
    Q_DECLARE_TR_FUNCTIONS(ProfileTexts)
};

QString quoted(const std::string& key) {
    return u'"' + fromUtf8(key) + u'"';
}

}  // namespace

QString profileSaveFailureText(const QString& path) {
    return ProfileTexts::tr("プロファイルを保存できません。\n%1").arg(path);
}

QString profileReadFailureText(const fleet::ProfileError& error, const QString& path) {
    return ProfileTexts::tr("プロファイルを読み込めません。\n%1\n%2")
        .arg(path, profileErrorReason(error));
}

QString profileMismatchText(const fleet::ProfileMismatch& mismatch, const DeviceIdentity& unit,
                            const QString& path) {
    return ProfileTexts::tr("このユニットに合わないプロファイルです。\n%1\n%2")
        .arg(path, profileMismatchReason(mismatch, unit));
}

QString profileErrorReason(const fleet::ProfileError& error) {
    switch (error.fault) {
        case fleet::ProfileFault::kUnreadable:
            return ProfileTexts::tr("ファイルを開けません");
        case fleet::ProfileFault::kTooLarge:
            return ProfileTexts::tr("ファイルが %1 KiB を超えています")
                .arg(fleet::kMaxProfileBytes / 1024);
        case fleet::ProfileFault::kNotJson:
            if (error.line > 0) {
                return ProfileTexts::tr("JSON の書式に誤りがあります (行 %1, 列 %2)")
                    .arg(error.line)
                    .arg(error.column);
            }
            return ProfileTexts::tr("JSON の書式に誤りがあります");
        case fleet::ProfileFault::kNotObject:
            return ProfileTexts::tr("JSON のオブジェクトではありません");
        case fleet::ProfileFault::kMissingKey:
            return ProfileTexts::tr("%1 がありません").arg(quoted(error.key));
        case fleet::ProfileFault::kWrongType:
            return ProfileTexts::tr("%1 の値の形が正しくありません").arg(quoted(error.key));
        case fleet::ProfileFault::kOutOfRange:
            return ProfileTexts::tr("%1 の値が範囲外です").arg(quoted(error.key));
    }
    return ProfileTexts::tr("プロファイルではありません");
}

QString profileMismatchReason(const fleet::ProfileMismatch& mismatch, const DeviceIdentity& unit) {
    switch (mismatch.kind) {
        case fleet::MismatchKind::kNeedsTimes:
            return ProfileTexts::tr("このユニットは端子ごとの時間を使います");
        case fleet::MismatchKind::kNeedsInterval:
            return ProfileTexts::tr("このユニットは共通間隔を使います");
        case fleet::MismatchKind::kOutputBeyondUnit:
            return ProfileTexts::tr("DO%1 はこのユニットにありません (DO1..DO%2)")
                .arg(mismatch.output)
                .arg(outputCount(unit));
        case fleet::MismatchKind::kTimeOutOfRange:
            return (mismatch.onTime ? ProfileTexts::tr("ON時間 %1 は %2-%3 の範囲外です (DO%4)")
                                    : ProfileTexts::tr("OFF時間 %1 は %2-%3 の範囲外です (DO%4)"))
                .arg(mismatch.value)
                .arg(kMinOnOffTime)
                .arg(kMaxOnOffTime)
                .arg(mismatch.output);
        case fleet::MismatchKind::kIntervalNotInList:
            return ProfileTexts::tr("間隔の番号 %1 は一覧にありません").arg(mismatch.value);
    }
    return ProfileTexts::tr("このユニットには使えません");
}

}  // namespace mervane
