#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <thread>

#include "fleet/Discovery.h"
#include "net/Adapters.h"
#include "ui/UnitSearch.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace mervane {

// "ユニット検索": finds units on the subnet of one local adapter (its broadcast address, sent from
// that adapter's address) and, optionally, at an address or range the operator types, and lists
// them as they answer. OK, a double-click or Enter on a row chooses that unit; chosenAddress() then
// holds its dotted address. The dialog changes nothing else.
//
// The search runs on a worker thread of the dialog's own; what it reports is posted to the window
// thread in the order reported, and only the window thread touches the controls. Closing the
// dialog by any means (OK, キャンセル, Esc, the close box, done() from the owner) and destroying
// it stop a running search and wait for its worker, which takes a fraction of a second.
class DiscoveryDialog final : public QDialog {
    Q_OBJECT

  public:
    struct Setup {
        AdapterEntry adapter;      // the adapter to search from
        uint16_t tcpPort = 10003;  // where the probe connects
        int32_t replyWindowMs = fleet::kDefaultReplyWindowMs;
        DiscoverySeam seam;
    };

    // Window thread only, like every member.
    explicit DiscoveryDialog(Setup setup, QWidget* parent = nullptr);
    ~DiscoveryDialog() override;

    // The start button: clears the list and starts a search. False, with the reason shown in the
    // dialog, when the typed target is not an address or range; false also while one runs.
    bool startSearch();
    bool searching() const { return worker_.joinable(); }
    // Rows in the list, in address order.
    int unitCount() const;
    QString chosenAddress() const { return chosenAddress_; }

    void done(int result) override;

  private:
    class Relay;

    void chooseRow(QTreeWidgetItem* item);
    void stopSearch();
    // Posted from the worker; `generation` tells a stopped search's late posts apart.
    void showUnit(unsigned generation, const fleet::DiscoveredUnit& unit);
    void showRequestsSent(unsigned generation, size_t done, size_t total);
    void finishSearch(unsigned generation, const fleet::DiscoveryReport& report);
    void showStatus(const QString& text, bool problem = false);

    const Setup setup_;
    QLabel* networkLabel_ = nullptr;
    QLineEdit* targetEdit_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    std::map<uint32_t, QTreeWidgetItem*> rows_;  // by host-order address
    QString chosenAddress_;
    unsigned generation_ = 0;
    // Made on the window thread before the worker starts; destroyed after it has been joined.
    std::unique_ptr<UnitSearch> search_;
    std::thread worker_;
};

}  // namespace mervane
