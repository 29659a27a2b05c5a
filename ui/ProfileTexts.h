#pragma once

#include <QString>

#include "fleet/Profile.h"
#include "link/DeviceIdentity.h"

namespace mervane {

// The window's texts for profile files: what 保存... and 読込... tell the operator when a file
// cannot be written, cannot be read as a profile, or does not fit the connected unit. `path` is
// the file as the operator chose it. Pure; any thread, once the translation is installed.

// "プロファイルを保存できません。" and the file.
QString profileSaveFailureText(const QString& path);

// "プロファイルを読み込めません。", the file and what is wrong with it (with line and column for
// a syntax error).
QString profileReadFailureText(const fleet::ProfileError& error, const QString& path);

// "このユニットに合わないプロファイルです。", the file and why it does not fit `unit`.
QString profileMismatchText(const fleet::ProfileMismatch& mismatch, const DeviceIdentity& unit,
                            const QString& path);

// One line each: what is wrong ("JSON の書式に誤りがあります (行 3, 列 14)") and why it does not
// fit ("DO5 はこのユニットにありません (DO1..DO4)").
QString profileErrorReason(const fleet::ProfileError& error);
QString profileMismatchReason(const fleet::ProfileMismatch& mismatch, const DeviceIdentity& unit);

}  // namespace mervane
