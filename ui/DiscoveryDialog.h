#pragma once

#include <QDialog>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "fleet/Discovery.h"
#include "net/Adapters.h"
#include "ui/PlantActions.h"
#include "ui/PlantListModel.h"
#include "ui/UnitSearch.h"

class QLabel;
class QLineEdit;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTreeView;

namespace mervane {

class TraceSink;

// "ユニット検索", the plant list: finds units on the subnet of one local adapter (its broadcast
// address, sent from that adapter's address) and, optionally, at an address or range the operator
// types or at the addresses of a saved list, and lists them as they answer. The search starts as
// the dialog opens. OK, a double-click or Enter on a row chooses that unit; chosenAddress() then
// holds its dotted address. A unit without automatic ON/OFF is listed with that reason but can be
// neither chosen nor ticked.
//
// The ticked units can be read, given a profile, started and stopped together (PlantActions),
// each row showing its result. キャンセル and Esc stop an action for every unit not yet being
// written; the close box does the same and closes once the units being written are done.
//
// The search and the actions run on worker threads; what they report reaches the window thread
// in order and in batches, and only the window thread touches the controls. done() (OK, the
// owner closing the dialog) and destroying the dialog stop a running search or action and wait for
// it; units being written are finished first.
class DiscoveryDialog final : public QDialog {
    Q_OBJECT

  public:
    struct Setup {
        AdapterEntry adapter;      // the adapter to search from
        uint16_t tcpPort = 10003;  // where the probe and the actions connect
        int32_t replyWindowMs = fleet::kDefaultReplyWindowMs;  // also the identification time-out
        DiscoverySeam seam;
        TraceSink* trace = nullptr;  // the traffic log's; every search and action reports to it
        QSize size;                  // the size to open with; empty: fits about 20 rows
        PlantActionSeams actions;    // empty members: message boxes and file dialogs
    };

    // Window thread only, like every member.
    explicit DiscoveryDialog(Setup setup, QWidget* parent = nullptr);
    ~DiscoveryDialog() override;

    // The start button: clears the list and starts a search. False, with the reason shown in the
    // dialog, when the typed target is not an address or range; false also while one runs.
    bool startSearch();
    bool searching() const { return worker_.joinable(); }
    // Rows in the list.
    int unitCount() const;
    QString chosenAddress() const { return chosenAddress_; }
    PlantListModel& model() { return *model_; }
    PlantActions& actions() { return *actions_; }

    // 一覧を保存... and 一覧を読込...: false when cancelled or refused (the operator was told).
    bool saveList();
    bool loadList();
    // How they ask for the file to save (true) or read; an empty path cancels. By default the
    // file dialogs.
    void setHostsFileChooser(std::function<QString(bool save)> chooser) {
        chooseHostsFile_ = std::move(chooser);
    }

    void done(int result) override;
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class Relay;
    struct Found {
        std::mutex mutex;
        std::vector<fleet::DiscoveredUnit> units;
        bool wakePosted = false;
    };

    void buildControls();
    void connectControls();
    bool runSearch(fleet::DiscoveryPlan plan);
    void chooseRow(const QModelIndex& index);
    int currentRow() const;
    void stopSearch();
    void updateButtons();
    // Posted from the worker; `generation` tells a stopped search's late posts apart.
    void takeFound(unsigned generation);
    void showRequestsSent(unsigned generation, size_t done, size_t total);
    void finishSearch(unsigned generation, const fleet::DiscoveryReport& report);
    void showStatus(const QString& text, bool problem = false);
    void tell(const QString& text);

    const Setup setup_;
    PlantListModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    PlantActions* actions_ = nullptr;
    QLabel* networkLabel_ = nullptr;
    QLineEdit* targetEdit_ = nullptr;
    QTreeView* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* checkAllButton_ = nullptr;
    QPushButton* uncheckAllButton_ = nullptr;
    QPushButton* checkFailedButton_ = nullptr;
    QPushButton* readButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* startUnitsButton_ = nullptr;
    QPushButton* stopUnitsButton_ = nullptr;
    QPushButton* saveListButton_ = nullptr;
    QPushButton* loadListButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    std::function<QString(bool save)> chooseHostsFile_;
    QString chosenAddress_;
    bool searchedOnce_ = false;
    bool closeWhenIdle_ = false;
    unsigned generation_ = 0;
    // The addresses a loaded list asked for: those that do not answer are listed as silent.
    std::vector<uint32_t> expected_;
    // Made on the window thread before the worker starts; destroyed after it has been joined.
    std::unique_ptr<UnitSearch> search_;
    std::shared_ptr<Found> found_;
    std::thread worker_;
};

}  // namespace mervane
