#include "ui/ProfileTexts.h"

namespace mervane {

namespace {

std::string quoted(const std::string& key) {
    return "\"" + key + "\"";
}

}  // namespace

std::string profileSaveFailureText(const std::string& path) {
    return "プロファイルを保存できません。\n" + path;
}

std::string profileReadFailureText(const fleet::ProfileError& error, const std::string& path) {
    return "プロファイルを読み込めません。\n" + path + "\n" + profileErrorReason(error);
}

std::string profileMismatchText(const fleet::ProfileMismatch& mismatch, const DeviceIdentity& unit,
                                const std::string& path) {
    return "このユニットに合わないプロファイルです。\n" + path + "\n" +
           profileMismatchReason(mismatch, unit);
}

std::string profileErrorReason(const fleet::ProfileError& error) {
    switch (error.fault) {
        case fleet::ProfileFault::kUnreadable:
            return "ファイルを開けません";
        case fleet::ProfileFault::kTooLarge:
            return "ファイルが " + std::to_string(fleet::kMaxProfileBytes / 1024) +
                   " KiB を超えています";
        case fleet::ProfileFault::kNotJson: {
            std::string reason = "JSON の書式に誤りがあります";
            if (error.line > 0) {
                reason += " (行 " + std::to_string(error.line) + ", 列 " +
                          std::to_string(error.column) + ")";
            }
            return reason;
        }
        case fleet::ProfileFault::kNotObject:
            return "JSON のオブジェクトではありません";
        case fleet::ProfileFault::kMissingKey:
            return quoted(error.key) + " がありません";
        case fleet::ProfileFault::kWrongType:
            return quoted(error.key) + " の値の形が正しくありません";
        case fleet::ProfileFault::kOutOfRange:
            return quoted(error.key) + " の値が範囲外です";
    }
    return "プロファイルではありません";
}

std::string profileMismatchReason(const fleet::ProfileMismatch& mismatch,
                                  const DeviceIdentity& unit) {
    switch (mismatch.kind) {
        case fleet::MismatchKind::kNeedsTimes:
            return "このユニットは端子ごとの時間を使います";
        case fleet::MismatchKind::kNeedsInterval:
            return "このユニットは共通間隔を使います";
        case fleet::MismatchKind::kOutputBeyondUnit:
            return "DO" + std::to_string(mismatch.output) + " はこのユニットにありません (DO1..DO" +
                   std::to_string(outputCount(unit)) + ")";
        case fleet::MismatchKind::kTimeOutOfRange:
            return std::string(mismatch.onTime ? "ON時間 " : "OFF時間 ") +
                   std::to_string(mismatch.value) + " は " + std::to_string(kMinOnOffTime) + "-" +
                   std::to_string(kMaxOnOffTime) + " の範囲外です (DO" +
                   std::to_string(mismatch.output) + ")";
        case fleet::MismatchKind::kIntervalNotInList:
            return "間隔の番号 " + std::to_string(mismatch.value) + " は一覧にありません";
    }
    return "このユニットには使えません";
}

}  // namespace mervane
