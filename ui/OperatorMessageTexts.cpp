#include "ui/OperatorMessageTexts.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "link/OperatorMessages.h"
#include "net/Adapters.h"
#include "ui/QtText.h"

namespace mervane {

namespace {

// The link's text, and the same in the form the translation knows: %1 where the link puts the
// error number.
struct Wording {
    const char* shown;
    const char* source;
};

constexpr std::array kWordings{
    Wording{kTimeRangeMessage,
            QT_TRANSLATE_NOOP("OperatorMessages", "1-255の間で設定してください。")},
    Wording{kCommunicationErrorMessage, QT_TRANSLATE_NOOP("OperatorMessages", "通信エラー")},
    Wording{kUnsupportedModelMessage,
            QT_TRANSLATE_NOOP("OperatorMessages", "自動ON/OFFに対応していないモデルです。")},
    Wording{kSessionErrorFormat, QT_TRANSLATE_NOOP("OperatorMessages", "接続エラー: S%1")},
    Wording{kOneShotReadErrorFormat,
            QT_TRANSLATE_NOOP("OperatorMessages", "設定取得通信エラー: O%1")},
    Wording{kActiveReadErrorFormat,
            QT_TRANSLATE_NOOP("OperatorMessages", "設定取得通信エラー: 1-%1")},
    Wording{kMaskReadErrorFormat,
            QT_TRANSLATE_NOOP("OperatorMessages", "設定取得通信エラー: 2-%1")},
    Wording{kTimesReadErrorFormat,
            QT_TRANSLATE_NOOP("OperatorMessages", "設定取得通信エラー: 3-%1")},
    Wording{kIntervalReadErrorFormat,
            QT_TRANSLATE_NOOP("OperatorMessages", "設定取得通信エラー: 4-%1")},
    Wording{kOneShotClearErrorFormat,
            QT_TRANSLATE_NOOP("OperatorMessages", "設定通信エラー: 0-%1")},
    Wording{kApplyErrorMessage, QT_TRANSLATE_NOOP("OperatorMessages", "設定反映通信エラー。")},
    Wording{kOneShotQuestion,
            QT_TRANSLATE_NOOP("OperatorMessages",
                              "ワンショット出力設定されている端子があります。\n"
                              "自動ONOFF動作はワンショット出力設定と共存できません。\n"
                              "ワンショット出力設定を解除しますか？")},
    Wording{kActiveStatusText, QT_TRANSLATE_NOOP("OperatorMessages", "Active")},
    Wording{kNonActiveStatusText, QT_TRANSLATE_NOOP("OperatorMessages", "Non-active")},
    Wording{kConnectCaption, QT_TRANSLATE_NOOP("OperatorMessages", "Connect")},
    Wording{kDisconnectCaption, QT_TRANSLATE_NOOP("OperatorMessages", "Disconnect")},
    Wording{kNoAdapterMessage,
            QT_TRANSLATE_NOOP("OperatorMessages", "ネットワークデバイスが見つかりませんでした。")},
};

QString translated(const char* source) {
    return QCoreApplication::translate("OperatorMessages", source);
}

// The number in place of the format's %d, when `shown` is the format with one: "-10060" too.
bool numberIn(std::string_view shown, std::string_view format, std::string_view& number) {
    const size_t mark = format.find("%d");
    if (mark == std::string_view::npos) return false;
    const std::string_view before = format.substr(0, mark);
    const std::string_view after = format.substr(mark + 2);
    if (shown.size() <= before.size() + after.size() || shown.substr(0, before.size()) != before ||
        shown.substr(shown.size() - after.size()) != after) {
        return false;
    }
    number = shown.substr(before.size(), shown.size() - before.size() - after.size());
    const std::string_view digits = number.front() == '-' ? number.substr(1) : number;
    return !digits.empty() &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

QString operatorMessageText(const std::string& shown) {
    for (const Wording& wording : kWordings) {
        if (shown == wording.shown) return translated(wording.source);
        std::string_view number;
        if (numberIn(shown, wording.shown, number))
            return translated(wording.source).arg(fromUtf8(number));
    }
    return fromUtf8(shown);
}

bool hasOperatorMessageText(const char* format) {
    return std::any_of(kWordings.begin(), kWordings.end(),
                       [format](const Wording& w) { return std::strcmp(w.shown, format) == 0; });
}

}  // namespace mervane
