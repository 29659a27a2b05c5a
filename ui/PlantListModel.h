#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "fleet/Discovery.h"
#include "fleet/UnitWork.h"

namespace mervane {

// The columns of the plant list; the address column carries the row's check box.
enum PlantColumn {
    kPlantAddressColumn,
    kPlantUnitIdColumn,
    kPlantModelColumn,
    kPlantStateColumn,
    kPlantMaskColumn,
    kPlantTimingColumn,
    kPlantResultColumn,
    kPlantColumnCount
};

// Where a row stands in the last action.
enum class PlantRowState { kIdle, kWaiting, kSucceeded, kFailed, kNotStarted };

// The units the plant list shows, one row each in the order they were first heard (a sort proxy
// orders them for the view), with the operator's ticks (Qt::CheckStateRole on the address column)
// and each unit's last settings and result. A unit known to lack automatic ON/OFF is listed with
// that reason, but is neither enabled (so cannot be chosen) nor tickable.
//
// Window thread only. Batches come in whole: one insertion or one change signal per call, so a
// thousand units cost the view a handful of updates.
class PlantListModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    // The address column's sort role holds the address as a number, so that .9 sorts before .10.
    static constexpr int kSortRole = Qt::UserRole + 1;

    explicit PlantListModel(QObject* parent = nullptr);

    void clear();
    // New units are appended, known ones (by address) updated in place.
    void addUnits(const std::vector<fleet::DiscoveredUnit>& units);
    // A unit that was asked for and did not answer: listed with `reason`, tickable, so that an
    // action still reports it.
    void addSilentUnit(uint32_t hostOrderAddress, const QString& reason);

    int rowOfAddress(uint32_t hostOrderAddress) const;  // -1 when not listed
    const fleet::DiscoveredUnit& unit(int row) const {
        return rows_[static_cast<size_t>(row)].unit;
    }
    QString addressText(int row) const;
    // The unit has (or may have) automatic ON/OFF: it can be chosen and ticked.
    bool usable(int row) const;

    std::vector<int> checkedRows() const;
    void setAllChecked(bool checked);
    // Ticks exactly the rows whose last action failed; false when there is none.
    bool checkFailed();

    // Before an action: the rows it works on wait, the others keep their results.
    void markWaiting(const std::vector<int>& rows);
    // One batch of results, each for the row of its unit.
    void setResults(const std::vector<std::pair<int, fleet::UnitOutcome>>& results);
    PlantRowState rowState(int row) const { return rows_[static_cast<size_t>(row)].state; }
    QString resultText(int row) const { return rows_[static_cast<size_t>(row)].result; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  signals:
    void checksChanged();

  private:
    struct Row {
        fleet::DiscoveredUnit unit;
        QString silentReason;  // asked for, never answered
        bool checked = false;
        QString mask;
        QString timing;
        PlantRowState state = PlantRowState::kIdle;
        QString result;
    };

    QString text(const Row& row, int column) const;
    void rowsChanged(int first, int last);

    std::vector<Row> rows_;
    std::unordered_map<uint32_t, int> byAddress_;
};

}  // namespace mervane
