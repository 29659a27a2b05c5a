#include "ui/DiscoveryRow.h"

#include <QCoreApplication>

#include "link/DeviceIdentity.h"
#include "link/SettingsSequences.h"
#include "net/Adapters.h"
#include "ui/OperatorMessageTexts.h"
#include "ui/QtText.h"

namespace mervane {

std::array<QString, kColumnCount> discoveryRowTexts(const fleet::DiscoveredUnit& unit) {
    std::array<QString, kColumnCount> texts;
    texts[kAddressColumn] = fromUtf8(dottedAddress(unit.source.sin_addr.s_addr));
    if (!unit.probed) {
        texts[kStateColumn] = QCoreApplication::translate("DiscoveryRow", "確認中...");
        return texts;
    }
    const DeviceIdentity& identity = unit.identity;
    if (identity.unitId != kUnitIdUnknown) texts[kUnitIdColumn] = QString::number(identity.unitId);
    if (identity.modelIndex != kModelIndexUnknown)
        texts[kModelColumn] = fromUtf8(modelDisplayName(identity));
    if (!unit.error.empty()) {
        texts[kStateColumn] = operatorMessageText(unit.error);
    } else if (unit.active.has_value()) {
        texts[kStateColumn] = operatorMessageText(activeStatusText(*unit.active ? 1 : 0));
    } else {
        texts[kStateColumn] = QCoreApplication::translate("DiscoveryRow", "自動ON/OFF非対応");
    }
    return texts;
}

}  // namespace mervane
