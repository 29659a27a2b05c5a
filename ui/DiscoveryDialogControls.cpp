// The plant list's controls: how they are laid out, what they start, and when they are usable.

#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

#include "fleet/DiscoveryTargets.h"
#include "ui/DiscoveryDialog.h"
#include "ui/PlantListFile.h"
#include "ui/QtText.h"
#include "ui/WholeFile.h"

namespace mervane {

namespace {

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* made = new QPushButton(text, parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setAutoDefault(false);
    return made;
}

// About 20 rows of the list on a 1366x768 screen, never more than the screen holds.
QSize openingSize(const QWidget& dialog) {
    QSize size(1100, 660);
    if (const QScreen* screen =
            dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() - QSize(40, 60));
    return size;
}

}  // namespace

void DiscoveryDialog::buildControls() {
    setWindowTitle(tr("ユニット検索"));
    setSizeGripEnabled(true);
    const uint32_t broadcast =
        fleet::subnetBroadcast(setup_.adapter.ipv4Address, setup_.adapter.ipv4Mask);
    networkLabel_ = new QLabel(
        tr("検索するネットワーク: %1 (%2)  ブロードキャスト: %3")
            .arg(fromUtf8(dottedAddress(setup_.adapter.ipv4Address)),
                 fromUtf8(setup_.adapter.friendlyName), fromUtf8(dottedAddress(broadcast))),
        this);
    targetEdit_ = new QLineEdit(this);
    targetEdit_->setPlaceholderText(tr("例: 192.168.1.20 または 192.168.1.0/24"));
    auto* targetLabel = new QLabel(tr("追加の検索先(&A):"), this);
    targetLabel->setBuddy(targetEdit_);

    model_ = new PlantListModel(this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(PlantListModel::kSortRole);
    list_ = new QTreeView(this);
    list_->setModel(sorted_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSortingEnabled(true);
    list_->sortByColumn(kPlantAddressColumn, Qt::AscendingOrder);
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(kPlantAddressColumn, 130);
    list_->setColumnWidth(kPlantUnitIdColumn, 72);
    list_->setColumnWidth(kPlantModelColumn, 90);
    list_->setColumnWidth(kPlantStateColumn, 120);
    list_->setColumnWidth(kPlantMaskColumn, 76);
    list_->setColumnWidth(kPlantTimingColumn, 330);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%v / %m"));
    progress_->setTextVisible(false);
    statusLabel_ = new QLabel(this);
    statusLabel_->setWordWrap(true);

    startButton_ = button(tr("検索"), "StartButton", this);
    checkAllButton_ = button(tr("すべて選択"), "CheckAllButton", this);
    uncheckAllButton_ = button(tr("選択解除"), "UncheckAllButton", this);
    checkFailedButton_ = button(tr("失敗したユニットを選択"), "CheckFailedButton", this);
    readButton_ = button(tr("設定受信"), "ReadUnitsButton", this);
    applyButton_ = button(tr("プロファイル適用..."), "ApplyProfileButton", this);
    startUnitsButton_ = button(tr("Start"), "StartUnitsButton", this);
    stopUnitsButton_ = button(tr("Stop"), "StopUnitsButton", this);
    saveListButton_ = button(tr("一覧を保存..."), "SaveListButton", this);
    loadListButton_ = button(tr("一覧を読込..."), "LoadListButton", this);
    okButton_ = button(tr("OK"), "OkButton", this);
    cancelButton_ = button(tr("キャンセル"), "CancelButton", this);

    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(targetLabel);
    targetRow->addWidget(targetEdit_, 1);
    targetRow->addWidget(startButton_);
    auto* tickRow = new QHBoxLayout;
    tickRow->addWidget(checkAllButton_);
    tickRow->addWidget(uncheckAllButton_);
    tickRow->addWidget(checkFailedButton_);
    tickRow->addStretch(1);
    tickRow->addWidget(loadListButton_);
    tickRow->addWidget(saveListButton_);
    auto* actionRow = new QHBoxLayout;
    actionRow->addWidget(new QLabel(tr("選択したユニット:"), this));
    actionRow->addWidget(readButton_);
    actionRow->addWidget(applyButton_);
    actionRow->addWidget(startUnitsButton_);
    actionRow->addWidget(stopUnitsButton_);
    actionRow->addStretch(1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(okButton_);
    buttonRow->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(networkLabel_);
    layout->addLayout(targetRow);
    layout->addWidget(list_, 1);
    layout->addLayout(tickRow);
    layout->addLayout(actionRow);
    layout->addWidget(progress_);
    layout->addWidget(statusLabel_);
    layout->addLayout(buttonRow);
    // Names for the tests and for anyone driving the window.
    targetEdit_->setObjectName(QStringLiteral("TargetEdit"));
    list_->setObjectName(QStringLiteral("UnitList"));
    progress_->setObjectName(QStringLiteral("SearchProgress"));
    statusLabel_->setObjectName(QStringLiteral("SearchStatus"));
    resize(setup_.size.isValid() ? setup_.size : openingSize(*this));
    targetEdit_->setFocus();

    PlantActionSeams seams = setup_.actions;
    if (!seams.ask) {
        seams.ask = [this](const QString& question) {
            return QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
        };
    }
    if (!seams.tell) seams.tell = [this](const QString& text) { tell(text); };
    if (!seams.chooseProfile) {
        seams.chooseProfile = [this] {
            return QFileDialog::getOpenFileName(this, tr("プロファイル適用"), {},
                                                tr("プロファイル (*.json)"));
        };
    }
    seams.port = setup_.tcpPort;
    seams.identTimeoutMs = setup_.replyWindowMs;
    TraceSink* const trace = setup_.trace;
    const uint32_t local = setup_.adapter.ipv4Address;
    const auto prepare = seams.prepareLink;
    seams.prepareLink = [prepare, trace, local](DeviceLink& link) {
        link.setLocalBindAddress(local);
        link.trace().setSink(trace);
        if (prepare) prepare(link);
    };
    actions_ = new PlantActions(*model_, std::move(seams), this);
}

void DiscoveryDialog::connectControls() {
    connect(startButton_, &QPushButton::clicked, this, [this] { startSearch(); });
    connect(okButton_, &QPushButton::clicked, this, [this] { chooseRow(list_->currentIndex()); });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    // Activation is a double-click (or the platform's own gesture) on a row.
    connect(list_, &QTreeView::activated, this, [this](const QModelIndex& i) { chooseRow(i); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(model_, &PlantListModel::checksChanged, this, [this] { updateButtons(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { updateButtons(); });
    connect(checkAllButton_, &QPushButton::clicked, this, [this] { model_->setAllChecked(true); });
    connect(uncheckAllButton_, &QPushButton::clicked, this,
            [this] { model_->setAllChecked(false); });
    connect(checkFailedButton_, &QPushButton::clicked, this, [this] { model_->checkFailed(); });
    connect(readButton_, &QPushButton::clicked, this,
            [this] { actions_->start(PlantAction::kRead); });
    connect(applyButton_, &QPushButton::clicked, this,
            [this] { actions_->start(PlantAction::kApplyProfile); });
    connect(startUnitsButton_, &QPushButton::clicked, this,
            [this] { actions_->start(PlantAction::kStart); });
    connect(stopUnitsButton_, &QPushButton::clicked, this,
            [this] { actions_->start(PlantAction::kStop); });
    connect(saveListButton_, &QPushButton::clicked, this, [this] { saveList(); });
    connect(loadListButton_, &QPushButton::clicked, this, [this] { loadList(); });
    connect(actions_, &PlantActions::progress, this, [this](int done, int total) {
        progress_->setRange(0, std::max(total, 1));
        progress_->setValue(done);
        progress_->setTextVisible(true);
    });
    connect(actions_, &PlantActions::status, this,
            [this](const QString& text, bool problem) { showStatus(text, problem); });
    connect(actions_, &PlantActions::runningChanged, this, [this](bool running) {
        updateButtons();
        if (!running && closeWhenIdle_) close();
    });
}

void DiscoveryDialog::updateButtons() {
    const bool idle = !searching() && !actions_->running();
    const bool listed = model_->rowCount() > 0;
    const bool ticked = !model_->checkedRows().empty();
    startButton_->setEnabled(idle);
    targetEdit_->setEnabled(idle);
    for (QPushButton* tick : {checkAllButton_, uncheckAllButton_, checkFailedButton_})
        tick->setEnabled(idle && listed);
    for (QPushButton* action : {readButton_, applyButton_, startUnitsButton_, stopUnitsButton_})
        action->setEnabled(idle && ticked);
    saveListButton_->setEnabled(idle && listed);
    loadListButton_->setEnabled(idle);
    const int row = currentRow();
    okButton_->setEnabled(!actions_->running() && row >= 0 && model_->usable(row));
}

bool DiscoveryDialog::saveList() {
    if (searching() || actions_->running() || unitCount() == 0) return false;
    const QString path = chooseHostsFile_ ? chooseHostsFile_(true)
                                          : QFileDialog::getSaveFileName(
                                                this, tr("一覧を保存"), QStringLiteral("units.txt"),
                                                tr("ユニット一覧 (*.txt);;すべて (*)"));
    if (path.isEmpty()) return false;
    if (!replaceFileWhole(path, QByteArray::fromStdString(plantHostsText(*model_)))) {
        tell(tr("一覧を保存できません。\n%1").arg(path));
        return false;
    }
    showStatus(tr("%n 台のユニットを %1 に保存しました。", nullptr, unitCount()).arg(path));
    return true;
}

bool DiscoveryDialog::loadList() {
    if (searching() || actions_->running()) return false;
    const QString path = chooseHostsFile_
                             ? chooseHostsFile_(false)
                             : QFileDialog::getOpenFileName(this, tr("一覧を読込"), {},
                                                            tr("ユニット一覧 (*.txt);;すべて (*)"));
    if (path.isEmpty()) return false;
    PlantFileReading reading = readPlantHostsFile(path);
    if (!reading.error.isEmpty()) {
        tell(tr("一覧を読み込めません。\n%1").arg(reading.error));
        return false;
    }
    // Each address asked directly, no broadcast: units in routed subnets answer too.
    fleet::DiscoveryPlan plan;
    for (const uint32_t address : reading.addresses)
        plan.ranges.push_back({address, address});
    expected_ = std::move(reading.addresses);
    return runSearch(std::move(plan));
}

void DiscoveryDialog::tell(const QString& text) {
    QMessageBox::warning(this, windowTitle(), text);
}

}  // namespace mervane
