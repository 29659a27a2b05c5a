#include "ui/DiscoveryDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>

#include <algorithm>
#include <string>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "fleet/DiscoveryTargets.h"
#include "ui/QtText.h"

namespace mervane {

// Hands what the search reports to the window thread. Units are queued and taken in batches, one
// wake per batch not yet taken, so that a thousand answers cost the window a handful of updates.
// Posting never waits for the window thread, so the search's threads return at once, and a dialog
// that waits for the worker while posts are queued cannot deadlock; the posts are dropped if the
// dialog goes first.
class DiscoveryDialog::Relay final : public fleet::DiscoveryObserver {
  public:
    Relay(DiscoveryDialog& dialog, std::shared_ptr<Found> found, unsigned generation)
        : dialog_(dialog), found_(std::move(found)), generation_(generation) {}

    void unitFound(const fleet::DiscoveredUnit& unit) override { post(unit); }
    void unitProbed(const fleet::DiscoveredUnit& unit) override { post(unit); }
    void requestsSent(size_t done, size_t total) override {
        // About fifty steps of progress are enough to see; one per address would have the window
        // lay its status line out again for every one of a thousand addresses.
        const size_t step = std::max<size_t>(1, total / 50);
        if (done != 1 && done != total && done % step != 0) return;
        QMetaObject::invokeMethod(
            &dialog_,
            [d = &dialog_, g = generation_, done, total] { d->showRequestsSent(g, done, total); },
            Qt::QueuedConnection);
    }

  private:
    void post(const fleet::DiscoveredUnit& unit) {
        {
            const std::lock_guard lock(found_->mutex);
            found_->units.push_back(unit);
            if (found_->wakePosted) return;
            found_->wakePosted = true;
        }
        QMetaObject::invokeMethod(
            &dialog_, [d = &dialog_, g = generation_] { d->takeFound(g); }, Qt::QueuedConnection);
    }

    DiscoveryDialog& dialog_;
    std::shared_ptr<Found> found_;
    const unsigned generation_;
};

DiscoveryDialog::DiscoveryDialog(Setup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)) {
    // A window does not take its owner's font by itself; the main window's is the Japanese one.
    if (parent != nullptr) setFont(parent->font());
    buildControls();
    connectControls();
    showStatus(tr("このネットワークのユニットを探します。"));
    updateButtons();
}

DiscoveryDialog::~DiscoveryDialog() {
    actions_->stopAndWait();
    stopSearch();
}

int DiscoveryDialog::unitCount() const {
    return model_->rowCount();
}

void DiscoveryDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The operator opened the dialog to find units: the search need not wait for a press.
    if (!searchedOnce_) startSearch();
}

bool DiscoveryDialog::startSearch() {
    if (searching() || actions_->running()) return false;
    searchedOnce_ = true;
    fleet::DiscoveryPlan plan;
    const std::string target = targetEdit_->text().trimmed().toStdString();
    if (!target.empty()) {
        // Host names are not looked up: a lookup could hold the window, and a unit is known by
        // its address anyway.
        const fleet::TargetText parsed = fleet::parseTarget(target);
        if (!parsed.range) {
            showStatus(parsed.hostName.empty()
                           ? tr("追加の検索先は IP アドレスか範囲 (例: 192.168.0.0/24、"
                                "192.168.0.10-40、/16 まで) で入力してください。")
                           : tr("ホスト名では検索できません。IP アドレスか範囲 (例: "
                                "192.168.0.0/24) で入力してください。"),
                       true);
            return false;
        }
        plan.ranges.push_back(*parsed.range);
    }
    plan.broadcasts.push_back(
        fleet::subnetBroadcast(setup_.adapter.ipv4Address, setup_.adapter.ipv4Mask));
    expected_.clear();
    return runSearch(std::move(plan));
}

bool DiscoveryDialog::runSearch(fleet::DiscoveryPlan plan) {
    plan.localAddress = setup_.adapter.ipv4Address;
    plan.tcpPort = setup_.tcpPort;
    plan.replyWindowMs = setup_.replyWindowMs;
    plan.trace = setup_.trace;
    if (setup_.seam.preparePlan) setup_.seam.preparePlan(plan);

    model_->clear();
    search_ = setup_.seam.makeSearch ? setup_.seam.makeSearch() : makeFleetSearch();
    found_ = std::make_shared<Found>();
    const unsigned generation = ++generation_;
    try {
        worker_ = std::thread([this, search = search_.get(), found = found_, plan, generation] {
            Relay relay(*this, found, generation);
            fleet::DiscoveryReport report = search->run(plan, relay);
            QMetaObject::invokeMethod(
                this,
                [this, generation, report = std::move(report)] {
                    finishSearch(generation, report);
                },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        search_.reset();
        showStatus(tr("検索を始められませんでした。"), true);
        return false;
    }
    startButton_->setText(tr("再検索"));
    progress_->setRange(0, 0);
    showStatus(tr("要求を送信しています..."));
    updateButtons();
    return true;
}

int DiscoveryDialog::currentRow() const {
    const QModelIndex index = list_->currentIndex();
    if (!index.isValid() || !list_->selectionModel()->isSelected(index)) return -1;
    return sorted_->mapToSource(index).row();
}

void DiscoveryDialog::chooseRow(const QModelIndex& index) {
    if (!index.isValid() || actions_->running()) return;
    const int row = sorted_->mapToSource(index).row();
    if (!model_->usable(row)) return;
    chosenAddress_ = model_->addressText(row);
    accept();
}

void DiscoveryDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Once units are listed, Enter chooses the selected one; typing a target and pressing
        // Enter searches it.
        if (!targetEdit_->hasFocus() && currentRow() >= 0) {
            chooseRow(list_->currentIndex());
        } else {
            startSearch();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void DiscoveryDialog::stopSearch() {
    if (search_) search_->stop();
    if (worker_.joinable()) worker_.join();
    search_.reset();
    // Whatever the stopped search posted in its last moment is ignored.
    ++generation_;
    progress_->setRange(0, 1);
    progress_->setValue(0);
    updateButtons();
}

void DiscoveryDialog::done(int result) {
    actions_->stopAndWait();
    if (searching()) {
        stopSearch();
        showStatus(tr("検索を中止しました。"));
    }
    QDialog::done(result);
}

void DiscoveryDialog::reject() {
    // An action is stopped, not the dialog: its results stay to be read.
    if (actions_->running()) {
        actions_->cancel();
        return;
    }
    QDialog::reject();
}

void DiscoveryDialog::closeEvent(QCloseEvent* event) {
    if (actions_->running()) {
        event->ignore();
        closeWhenIdle_ = true;
        actions_->cancel();
        return;
    }
    QDialog::closeEvent(event);
}

void DiscoveryDialog::takeFound(unsigned generation) {
    if (generation != generation_ || !found_) return;
    std::vector<fleet::DiscoveredUnit> units;
    {
        const std::lock_guard lock(found_->mutex);
        units.swap(found_->units);
        found_->wakePosted = false;
    }
    model_->addUnits(units);
}

void DiscoveryDialog::showRequestsSent(unsigned generation, size_t done, size_t total) {
    if (generation != generation_) return;
    if (done < total) {
        // Ranges up to a /16 fit an int.
        progress_->setRange(0, static_cast<int>(total));
        progress_->setValue(static_cast<int>(done));
        showStatus(tr("要求を送信しています (%1/%2)").arg(done).arg(total));
    } else {
        // The replies may take the whole reply window; there is nothing to count meanwhile.
        progress_->setRange(0, 0);
        showStatus(tr("応答を待っています..."));
    }
}

void DiscoveryDialog::finishSearch(unsigned generation, const fleet::DiscoveryReport& report) {
    if (generation != generation_) return;
    // The worker posted this as its last step; joining it is brief.
    if (worker_.joinable()) worker_.join();
    takeFound(generation);
    search_.reset();
    progress_->setRange(0, 1);
    progress_->setValue(1);
    updateButtons();
    if (!report.failure.empty()) {
        showStatus(tr("検索できませんでした: %1").arg(fromUtf8(report.failure)), true);
        return;
    }
    // A loaded list keeps the units that did not answer, so that they are not silently dropped.
    for (const uint32_t address : std::exchange(expected_, {})) {
        if (model_->rowOfAddress(address) < 0)
            model_->addSilentUnit(address, tr("応答がありません"));
    }
    QString text = unitCount() == 0 ? tr("ユニットは見つかりませんでした。")
                                    : tr("%n 台のユニットが見つかりました。", nullptr, unitCount());
    if (report.repliesBeyondCap > 0) {
        text += tr(" (表示できる台数を超えた %n 件の応答は表示していません)", nullptr,
                   static_cast<int>(report.repliesBeyondCap));
    }
    showStatus(text);
}

void DiscoveryDialog::showStatus(const QString& text, bool problem) {
    statusLabel_->setText(text);
    statusLabel_->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
}

}  // namespace mervane
