#pragma once

#include <array>

namespace mervane {

// Every text the device link shows the operator, as it shows it. The command line prints them
// as they stand, since scripts read them; the window shows them in its own language, so any text
// added here needs the window's wording too. A %d stands for the Windows Sockets error number.

// What a gather shows when an ON or OFF time is outside 1..255.
inline constexpr const char* kTimeRangeMessage = "1-255の間で設定してください。";
// What a connect shows when the unit could not be identified; also a failed switch of the cycle.
inline constexpr const char* kCommunicationErrorMessage = "通信エラー";
inline constexpr const char* kUnsupportedModelMessage = "自動ON/OFFに対応していないモデルです。";
inline constexpr const char* kSessionErrorFormat = "接続エラー: S%d";
// A settings read's steps: one-shot settings, the active flag, the enable mask, the times, the
// interval; and the clearing of one-shot settings.
inline constexpr const char* kOneShotReadErrorFormat = "設定取得通信エラー: O%d";
inline constexpr const char* kActiveReadErrorFormat = "設定取得通信エラー: 1-%d";
inline constexpr const char* kMaskReadErrorFormat = "設定取得通信エラー: 2-%d";
inline constexpr const char* kTimesReadErrorFormat = "設定取得通信エラー: 3-%d";
inline constexpr const char* kIntervalReadErrorFormat = "設定取得通信エラー: 4-%d";
inline constexpr const char* kOneShotClearErrorFormat = "設定通信エラー: 0-%d";
inline constexpr const char* kApplyErrorMessage = "設定反映通信エラー。";
// The one question.
inline constexpr const char* kOneShotQuestion =
    "ワンショット出力設定されている端子があります。\n"
    "自動ONOFF動作はワンショット出力設定と共存できません。\n"
    "ワンショット出力設定を解除しますか？";
// The status text, and the captions of the connect button.
inline constexpr const char* kActiveStatusText = "Active";
inline constexpr const char* kNonActiveStatusText = "Non-active";
inline constexpr const char* kConnectCaption = "Connect";
inline constexpr const char* kDisconnectCaption = "Disconnect";

inline constexpr std::array kOperatorTexts{
    kTimeRangeMessage,        kCommunicationErrorMessage, kUnsupportedModelMessage,
    kSessionErrorFormat,      kOneShotReadErrorFormat,    kActiveReadErrorFormat,
    kMaskReadErrorFormat,     kTimesReadErrorFormat,      kIntervalReadErrorFormat,
    kOneShotClearErrorFormat, kApplyErrorMessage,         kOneShotQuestion,
    kActiveStatusText,        kNonActiveStatusText,       kConnectCaption,
    kDisconnectCaption,
};

}  // namespace mervane
