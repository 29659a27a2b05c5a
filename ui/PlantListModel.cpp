#include "ui/PlantListModel.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

#include "link/DeviceIdentity.h"
#include "net/Adapters.h"
#include "ui/DiscoveryRow.h"
#include "ui/PlantTexts.h"
#include "ui/QtText.h"

namespace mervane {

PlantListModel::PlantListModel(QObject* parent) : QAbstractTableModel(parent) {}

void PlantListModel::clear() {
    beginResetModel();
    rows_.clear();
    byAddress_.clear();
    endResetModel();
    emit checksChanged();
}

void PlantListModel::addUnits(const std::vector<fleet::DiscoveredUnit>& units) {
    std::vector<Row> added;
    int firstChanged = rowCount();
    int lastChanged = -1;
    for (const fleet::DiscoveredUnit& unit : units) {
        const uint32_t key = unit.hostOrderAddress();
        const auto known = byAddress_.find(key);
        if (known != byAddress_.end() && known->second >= rowCount()) {
            // Heard earlier in this batch: not in the view yet.
            added[static_cast<size_t>(known->second - rowCount())].unit = unit;
            continue;
        }
        if (known != byAddress_.end()) {
            Row& row = rows_[static_cast<size_t>(known->second)];
            row.unit = unit;
            row.silentReason.clear();
            if (!usable(known->second)) row.checked = false;
            firstChanged = std::min(firstChanged, known->second);
            lastChanged = std::max(lastChanged, known->second);
            continue;
        }
        byAddress_[key] = rowCount() + static_cast<int>(added.size());
        Row row;
        row.unit = unit;
        added.push_back(std::move(row));
    }
    if (lastChanged >= 0) rowsChanged(firstChanged, lastChanged);
    if (!added.empty()) {
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
        std::move(added.begin(), added.end(), std::back_inserter(rows_));
        endInsertRows();
    }
}

void PlantListModel::addSilentUnit(uint32_t hostOrderAddress, const QString& reason) {
    fleet::DiscoveredUnit unit;
    unit.source.sin_family = AF_INET;
    unit.source.sin_addr.s_addr = htonl(hostOrderAddress);
    unit.probed = true;
    unit.identity.unitId = kUnitIdUnknown;
    unit.identity.modelIndex = kModelIndexUnknown;
    addUnits({unit});
    const int row = rowOfAddress(hostOrderAddress);
    rows_[static_cast<size_t>(row)].silentReason = reason;
    rowsChanged(row, row);
}

int PlantListModel::rowOfAddress(uint32_t hostOrderAddress) const {
    const auto found = byAddress_.find(hostOrderAddress);
    return found == byAddress_.end() ? -1 : found->second;
}

QString PlantListModel::addressText(int row) const {
    return fromUtf8(dottedAddress(unit(row).source.sin_addr.s_addr));
}

bool PlantListModel::usable(int row) const {
    const Row& r = rows_[static_cast<size_t>(row)];
    // Known to lack automatic ON/OFF: probed, answered, and no active flag to read.
    return !(r.unit.probed && r.unit.error.empty() && r.silentReason.isEmpty() &&
             !r.unit.active.has_value());
}

std::vector<int> PlantListModel::checkedRows() const {
    std::vector<int> checked;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].checked) checked.push_back(static_cast<int>(i));
    }
    return checked;
}

void PlantListModel::setAllChecked(bool checked) {
    for (size_t i = 0; i < rows_.size(); ++i)
        rows_[i].checked = checked && usable(static_cast<int>(i));
    if (!rows_.empty()) rowsChanged(0, rowCount() - 1);
    emit checksChanged();
}

bool PlantListModel::checkFailed() {
    bool any = false;
    for (Row& row : rows_) {
        row.checked = row.state == PlantRowState::kFailed;
        any = any || row.checked;
    }
    if (!rows_.empty()) rowsChanged(0, rowCount() - 1);
    emit checksChanged();
    return any;
}

void PlantListModel::markWaiting(const std::vector<int>& rows) {
    if (rows.empty()) return;
    for (const int row : rows) {
        rows_[static_cast<size_t>(row)].state = PlantRowState::kWaiting;
        rows_[static_cast<size_t>(row)].result = tr("待機中");
    }
    const auto [first, last] = std::minmax_element(rows.begin(), rows.end());
    rowsChanged(*first, *last);
}

void PlantListModel::setResults(const std::vector<std::pair<int, fleet::UnitOutcome>>& results) {
    if (results.empty()) return;
    int first = rowCount();
    int last = -1;
    for (const auto& [index, outcome] : results) {
        Row& row = rows_[static_cast<size_t>(index)];
        row.result = plantResultText(outcome);
        if (outcome.succeeded()) {
            row.state = PlantRowState::kSucceeded;
        } else if (outcome.result == fleet::UnitResult::kNotStarted ||
                   outcome.result == fleet::UnitResult::kOneShotLeft) {
            row.state = PlantRowState::kNotStarted;
        } else {
            row.state = PlantRowState::kFailed;
        }
        if (outcome.identified) row.unit.identity = outcome.identity;
        if (outcome.settingsRead) {
            const PlantSettingsTexts texts = plantSettingsTexts(outcome.settings, outcome.identity);
            row.mask = texts.mask;
            row.timing = texts.timing;
            row.unit.active = outcome.settings.active != 0;
            row.unit.error.clear();
            row.silentReason.clear();
        }
        first = std::min(first, index);
        last = std::max(last, index);
    }
    rowsChanged(first, last);
}

int PlantListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PlantListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kPlantColumnCount;
}

QString PlantListModel::text(const Row& row, int column) const {
    switch (column) {
        case kPlantMaskColumn:
            return row.mask;
        case kPlantTimingColumn:
            return row.timing;
        case kPlantResultColumn:
            return row.result;
        default:
            break;
    }
    const auto texts = discoveryRowTexts(row.unit);
    if (column == kPlantStateColumn && !row.silentReason.isEmpty()) return row.silentReason;
    return column < kColumnCount ? texts[static_cast<size_t>(column)] : QString();
}

QVariant PlantListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return text(row, index.column());
        case Qt::CheckStateRole:
            if (index.column() != kPlantAddressColumn) return {};
            return row.checked ? Qt::Checked : Qt::Unchecked;
        case kSortRole:
            if (index.column() == kPlantAddressColumn) return row.unit.hostOrderAddress();
            if (index.column() == kPlantUnitIdColumn) return row.unit.identity.unitId;
            return text(row, index.column());
        case Qt::ForegroundRole:
            if (index.column() == kPlantResultColumn && row.state == PlantRowState::kFailed)
                return QBrush(QColor(0xc0, 0, 0));
            return {};
        default:
            return {};
    }
}

bool PlantListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != kPlantAddressColumn) return false;
    if (!usable(index.row())) return false;
    rows_[static_cast<size_t>(index.row())].checked = value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit checksChanged();
    return true;
}

QVariant PlantListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case kPlantAddressColumn:
            return tr("IP アドレス");
        case kPlantUnitIdColumn:
            return tr("UNIT ID");
        case kPlantModelColumn:
            return tr("Model");
        case kPlantStateColumn:
            return tr("状態");
        case kPlantMaskColumn:
            return tr("有効出力");
        case kPlantTimingColumn:
            return tr("ON/OFF 時間 (DO1〜)");
        case kPlantResultColumn:
            return tr("結果");
        default:
            return {};
    }
}

Qt::ItemFlags PlantListModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || !usable(index.row())) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kPlantAddressColumn) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

void PlantListModel::rowsChanged(int first, int last) {
    emit dataChanged(index(first, 0), index(last, kPlantColumnCount - 1));
}

}  // namespace mervane
