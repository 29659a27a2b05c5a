#include "ui/DiscoveryDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#include "fleet/DiscoveryTargets.h"
#include "ui/DiscoveryRow.h"
#include "ui/QtText.h"

namespace mervane {

namespace {

const char* const kBadTargetText =
    "追加の検索先は IP アドレスか範囲 (例: 192.168.0.0/24、/16 まで) で入力してください。";
const char* const kHostNameText =
    "ホスト名では検索できません。IP アドレスか範囲 (例: 192.168.0.0/24) で入力してください。";

}  // namespace

// Hands each report of the search to the window thread. Posting never waits for the window
// thread, so the search's threads return at once, and a dialog that waits for the worker while
// posts are queued cannot deadlock; the posts are dropped if the dialog goes first.
class DiscoveryDialog::Relay final : public fleet::DiscoveryObserver {
  public:
    Relay(DiscoveryDialog& dialog, unsigned generation)
        : dialog_(dialog), generation_(generation) {}

    void unitFound(const fleet::DiscoveredUnit& unit) override { post(unit); }
    void unitProbed(const fleet::DiscoveredUnit& unit) override { post(unit); }
    void requestsSent(size_t done, size_t total) override {
        QMetaObject::invokeMethod(
            &dialog_,
            [d = &dialog_, g = generation_, done, total] { d->showRequestsSent(g, done, total); },
            Qt::QueuedConnection);
    }

  private:
    void post(const fleet::DiscoveredUnit& unit) {
        QMetaObject::invokeMethod(
            &dialog_, [d = &dialog_, g = generation_, unit] { d->showUnit(g, unit); },
            Qt::QueuedConnection);
    }

    DiscoveryDialog& dialog_;
    const unsigned generation_;
};

DiscoveryDialog::DiscoveryDialog(Setup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)) {
    // A window does not take its owner's font by itself; the main window's is the Japanese one.
    if (parent != nullptr) setFont(parent->font());
    setWindowTitle(QStringLiteral("ユニット検索"));

    const uint32_t broadcast =
        fleet::subnetBroadcast(setup_.adapter.ipv4Address, setup_.adapter.ipv4Mask);
    networkLabel_ = new QLabel(
        QStringLiteral("検索するネットワーク: %1 (%2)  ブロードキャスト: %3")
            .arg(fromUtf8(dottedAddress(setup_.adapter.ipv4Address)),
                 fromUtf8(setup_.adapter.friendlyName), fromUtf8(dottedAddress(broadcast))),
        this);
    targetEdit_ = new QLineEdit(this);
    targetEdit_->setPlaceholderText(QStringLiteral("例: 192.168.1.20 または 192.168.1.0/24"));
    auto* targetLabel = new QLabel(QStringLiteral("追加の検索先(&A):"), this);
    targetLabel->setBuddy(targetEdit_);

    list_ = new QTreeWidget(this);
    list_->setColumnCount(kColumnCount);
    list_->setHeaderLabels({QStringLiteral("IP アドレス"), QStringLiteral("UNIT ID"),
                            QStringLiteral("Model"), QStringLiteral("状態")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(kAddressColumn, 120);
    list_->setColumnWidth(kUnitIdColumn, 60);
    list_->setColumnWidth(kModelColumn, 110);

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    statusLabel_ = new QLabel(this);
    statusLabel_->setWordWrap(true);

    startButton_ = new QPushButton(QStringLiteral("検索"), this);
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    cancelButton_ = new QPushButton(QStringLiteral("キャンセル"), this);
    startButton_->setDefault(true);
    okButton_->setAutoDefault(false);
    cancelButton_->setAutoDefault(false);
    okButton_->setEnabled(false);

    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(targetLabel);
    targetRow->addWidget(targetEdit_, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(startButton_);
    buttonRow->addStretch(1);
    buttonRow->addWidget(okButton_);
    buttonRow->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(networkLabel_);
    layout->addLayout(targetRow);
    layout->addWidget(list_, 1);
    layout->addWidget(progress_);
    layout->addWidget(statusLabel_);
    layout->addLayout(buttonRow);
    // Names for the tests and for anyone driving the window.
    targetEdit_->setObjectName(QStringLiteral("TargetEdit"));
    list_->setObjectName(QStringLiteral("UnitList"));
    progress_->setObjectName(QStringLiteral("SearchProgress"));
    statusLabel_->setObjectName(QStringLiteral("SearchStatus"));
    startButton_->setObjectName(QStringLiteral("StartButton"));
    okButton_->setObjectName(QStringLiteral("OkButton"));
    cancelButton_->setObjectName(QStringLiteral("CancelButton"));
    resize(540, 340);
    targetEdit_->setFocus();

    connect(startButton_, &QPushButton::clicked, this, [this] { startSearch(); });
    connect(okButton_, &QPushButton::clicked, this, [this] { chooseRow(list_->currentItem()); });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    // Activation is a double-click (or the platform's own gesture) or Enter on a row; Enter
    // would otherwise fall through to the default button and search again.
    connect(list_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { chooseRow(item); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this] { okButton_->setEnabled(!list_->selectedItems().isEmpty()); });
    showStatus(QStringLiteral("「検索」を押すと、このネットワークのユニットを探します。"));
}

DiscoveryDialog::~DiscoveryDialog() {
    stopSearch();
}

int DiscoveryDialog::unitCount() const {
    return list_->topLevelItemCount();
}

bool DiscoveryDialog::startSearch() {
    if (searching()) return false;
    fleet::DiscoveryPlan plan;
    const std::string target = targetEdit_->text().trimmed().toStdString();
    if (!target.empty()) {
        // Host names are not looked up: a lookup could hold the window, and a unit is known by
        // its address anyway.
        const fleet::TargetText parsed = fleet::parseTarget(target);
        if (!parsed.range) {
            showStatus(QString::fromUtf8(parsed.hostName.empty() ? kBadTargetText : kHostNameText),
                       true);
            return false;
        }
        plan.ranges.push_back(*parsed.range);
    }
    plan.localAddress = setup_.adapter.ipv4Address;
    plan.broadcasts.push_back(
        fleet::subnetBroadcast(setup_.adapter.ipv4Address, setup_.adapter.ipv4Mask));
    plan.tcpPort = setup_.tcpPort;
    plan.replyWindowMs = setup_.replyWindowMs;
    if (setup_.seam.preparePlan) setup_.seam.preparePlan(plan);

    list_->clear();
    rows_.clear();
    okButton_->setEnabled(false);
    search_ = setup_.seam.makeSearch ? setup_.seam.makeSearch() : makeFleetSearch();
    const unsigned generation = ++generation_;
    try {
        worker_ = std::thread([this, search = search_.get(), plan, generation] {
            Relay relay(*this, generation);
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
        showStatus(QStringLiteral("検索を始められませんでした。"), true);
        return false;
    }
    startButton_->setEnabled(false);
    startButton_->setText(QStringLiteral("再検索"));
    progress_->setRange(0, 0);
    showStatus(QStringLiteral("要求を送信しています..."));
    return true;
}

void DiscoveryDialog::chooseRow(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    chosenAddress_ = item->text(kAddressColumn);
    accept();
}

void DiscoveryDialog::stopSearch() {
    if (search_) search_->stop();
    if (worker_.joinable()) worker_.join();
    search_.reset();
    // Whatever the stopped search posted in its last moment is ignored.
    ++generation_;
    progress_->setRange(0, 1);
    progress_->setValue(0);
    startButton_->setEnabled(true);
}

void DiscoveryDialog::done(int result) {
    if (searching()) {
        stopSearch();
        showStatus(QStringLiteral("検索を中止しました。"));
    }
    QDialog::done(result);
}

void DiscoveryDialog::showUnit(unsigned generation, const fleet::DiscoveredUnit& unit) {
    if (generation != generation_) return;
    const uint32_t key = unit.hostOrderAddress();
    QTreeWidgetItem*& row = rows_[key];
    if (row == nullptr) {
        row = new QTreeWidgetItem;
        const auto index = std::distance(rows_.begin(), rows_.find(key));
        list_->insertTopLevelItem(static_cast<int>(index), row);
    }
    const auto texts = discoveryRowTexts(unit);
    for (int column = 0; column < kColumnCount; ++column)
        row->setText(column, texts[static_cast<size_t>(column)]);
}

void DiscoveryDialog::showRequestsSent(unsigned generation, size_t done, size_t total) {
    if (generation != generation_) return;
    if (done < total) {
        // Ranges up to a /16 fit an int.
        progress_->setRange(0, static_cast<int>(total));
        progress_->setValue(static_cast<int>(done));
        showStatus(QStringLiteral("要求を送信しています (%1/%2)").arg(done).arg(total));
    } else {
        // The replies may take the whole reply window; there is nothing to count meanwhile.
        progress_->setRange(0, 0);
        showStatus(QStringLiteral("応答を待っています..."));
    }
}

void DiscoveryDialog::finishSearch(unsigned generation, const fleet::DiscoveryReport& report) {
    if (generation != generation_) return;
    // The worker posted this as its last step; joining it is brief.
    if (worker_.joinable()) worker_.join();
    search_.reset();
    progress_->setRange(0, 1);
    progress_->setValue(1);
    startButton_->setEnabled(true);
    if (!report.failure.empty()) {
        showStatus(QStringLiteral("検索できませんでした: %1").arg(fromUtf8(report.failure)), true);
        return;
    }
    QString text = unitCount() == 0
                       ? QStringLiteral("ユニットは見つかりませんでした。")
                       : QStringLiteral("%1 台のユニットが見つかりました。").arg(unitCount());
    if (report.repliesBeyondCap > 0) {
        text += QStringLiteral(" (表示できる台数を超えた %1 件の応答は表示していません)")
                    .arg(report.repliesBeyondCap);
    }
    showStatus(text);
}

void DiscoveryDialog::showStatus(const QString& text, bool problem) {
    statusLabel_->setText(text);
    statusLabel_->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
}

}  // namespace mervane
