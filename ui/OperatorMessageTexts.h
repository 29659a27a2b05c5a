#pragma once

#include <QString>

#include <string>

namespace mervane {

// The window's wording of a text the device link or the adapter list shows ("通信エラー",
// "設定取得通信エラー: 1-10060", "Active"): the translation of the language chosen at start-up,
// with an error number kept exactly as shown, so that a support request in any language names
// the same step and error. A text the window does not know (a fleet diagnostic, which is
// English) is shown as it stands. Any thread, once the translation is installed.
QString operatorMessageText(const std::string& shown);

// Whether `format`, one of the link's texts with its %d, has the window's wording.
bool hasOperatorMessageText(const char* format);

}  // namespace mervane
