#include "ui/MervaneDlg.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <utility>

#include "link/Status.h"
#include "ui/CommandLine.h"
#include "ui/DialogUnits.h"
#include "ui/DiscoveryDialog.h"
#include "ui/OperatorMessageTexts.h"
#include "ui/ProgramSettings.h"
#include "ui/QtText.h"
#include "ui/WriteCompletion.h"
#include "ui_MervaneDlg.h"

namespace mervane {

namespace {

inline constexpr const char* kDefaultPortText = "10003";
inline constexpr uint16_t kDefaultTcpPort = 10003;
// A close lets a write to the unit finish while the unit answers; this much silence ends it.
inline constexpr std::chrono::milliseconds kWriteSilenceOnClose{1000};
// The plant list's size as the operator left it, for the next time it opens.
inline constexpr const char* kPlantListSizeKey = "plantList/size";

// The form's font where the system has it, else a Japanese font of the same kind: a substitute
// picked by the system alone tends to be a Latin font with wider letters.
QFont dialogFont(QFont font) {
    QStringList families;
    for (const QString& family : {font.family(), QStringLiteral("IPAPGothic"),
                                  QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                                  QStringLiteral("TakaoPGothic"), QStringLiteral("IPAGothic")}) {
        if (QFontDatabase::hasFamily(family)) families << family;
    }
    if (!families.isEmpty()) font.setFamilies(families);
    return font;
}

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/mervane-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

CMervaneDlg::CMervaneDlg(DeviceLink& link, AdapterSource& adapters, MessagePresenter& presenter,
                         std::vector<std::string> arguments, QString applicationTitle)
    : QDialog(nullptr),
      ui_(std::make_unique<Ui::MervaneDlg>()),
      link_(link),
      adapters_(adapters),
      presenter_(presenter),
      arguments_(std::move(arguments)),
      applicationTitle_(std::move(applicationTitle)),
      icon_(programIcon()),
      versionWords_(programVersionWords()),
      versionText_(QString::fromStdString(formatVersionText(versionWords_))) {
    ui_->setupUi(this);
    setFont(dialogFont(font()));
    // A dialog of its own: caption and close box, no minimise or maximise box, fixed size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Posted, so the window learns of the end on its own thread, after every call the worker made.
    procedure_.setAttemptEnded([this] {
        QMetaObject::invokeMethod(this, &CMervaneDlg::onConnectEnded, Qt::QueuedConnection);
    });
}

CMervaneDlg::~CMervaneDlg() {
    stopWorkers();
}

int CMervaneDlg::runModal() {
    if (!initDialog()) return -1;
    return exec();
}

bool CMervaneDlg::initDialog() {
    bindControls();
    setWindowIcon(icon_);
    ui_->VersionLabel->setText(versionText_);
    adapterList_ = enumerateAdapters(adapters_);
    if (adapterList_.empty()) {
        showMessageNow(kNoAdapterMessage);
        return false;
    }
    fillAdapterCombo();
    panel_.fillIntervalCombo();
    ui_->PortEdit->setText(kDefaultPortText);
    applyConnectionState(ConnectionState::kNotConnected, link_.identity());
    ui_->ConnectButton->setText(operatorMessageText(kConnectCaption));
    timeoutMs_ = parseCommandLine(arguments_, timeoutMs_);
    procedure_.setTimeoutMs(timeoutMs_);
    ui_->AdapterCombo->setFocus();
    return true;
}

void CMervaneDlg::bindControls() {
    Ui::MervaneDlg& ui = *ui_;
    const std::array<QCheckBox*, kMaxOutputs> checks{
        ui.EnableCheck1, ui.EnableCheck2, ui.EnableCheck3, ui.EnableCheck4,
        ui.EnableCheck5, ui.EnableCheck6, ui.EnableCheck7, ui.EnableCheck8};
    const std::array<QLineEdit*, kMaxOutputs> onEdits{
        ui.OnTimeEdit1, ui.OnTimeEdit2, ui.OnTimeEdit3, ui.OnTimeEdit4,
        ui.OnTimeEdit5, ui.OnTimeEdit6, ui.OnTimeEdit7, ui.OnTimeEdit8};
    const std::array<QLineEdit*, kMaxOutputs> offEdits{
        ui.OffTimeEdit1, ui.OffTimeEdit2, ui.OffTimeEdit3, ui.OffTimeEdit4,
        ui.OffTimeEdit5, ui.OffTimeEdit6, ui.OffTimeEdit7, ui.OffTimeEdit8};
    const std::array<std::array<QLabel*, 4>, kMaxOutputs> labels{{
        {ui.OnLabel1, ui.OnUnitLabel1, ui.OffLabel1, ui.OffUnitLabel1},
        {ui.OnLabel2, ui.OnUnitLabel2, ui.OffLabel2, ui.OffUnitLabel2},
        {ui.OnLabel3, ui.OnUnitLabel3, ui.OffLabel3, ui.OffUnitLabel3},
        {ui.OnLabel4, ui.OnUnitLabel4, ui.OffLabel4, ui.OffUnitLabel4},
        {ui.OnLabel5, ui.OnUnitLabel5, ui.OffLabel5, ui.OffUnitLabel5},
        {ui.OnLabel6, ui.OnUnitLabel6, ui.OffLabel6, ui.OffUnitLabel6},
        {ui.OnLabel7, ui.OnUnitLabel7, ui.OffLabel7, ui.OffUnitLabel7},
        {ui.OnLabel8, ui.OnUnitLabel8, ui.OffLabel8, ui.OffUnitLabel8},
    }};
    // The port and the times take digits only, as typed; pasted text is read up to its first
    // non-digit anyway.
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    ui.PortEdit->setValidator(digits);
    for (size_t r = 0; r < kMaxOutputs; ++r) {
        panel_.rows[r] = PanelRow{checks[r], onEdits[r], offEdits[r], labels[r]};
        onEdits[r]->setValidator(digits);
        offEdits[r]->setValidator(digits);
        connect(checks[r], &QCheckBox::clicked, this, [this] { press(Action::kOutputs); });
    }
    panel_.intervalCombo = ui.IntervalCombo;
    panel_.intervalLabels = {ui.IntervalLabel, ui.IntervalUnitLabel};
    panel_.receiveButton = ui.ReceiveButton;
    panel_.applyButton = ui.ApplyButton;
    panel_.startStopButton = ui.StartStopButton;
    panel_.statusText = ui.StatusText;

    connect(ui.AdapterCombo, &QComboBox::currentIndexChanged, this, &CMervaneDlg::selectAdapter);
    for (const auto& [button, action] : {std::pair{ui.ConnectButton, Action::kConnect},
                                         {ui.SearchButton, Action::kSearch},
                                         {ui.ReceiveButton, Action::kReceive},
                                         {ui.ApplyButton, Action::kApply},
                                         {ui.StartStopButton, Action::kStartStop},
                                         {ui.SaveProfileButton, Action::kSaveProfile},
                                         {ui.LoadProfileButton, Action::kLoadProfile}}) {
        connect(button, &QPushButton::clicked, this, [this, a = action] { press(a); });
    }
    connect(ui.TraceButton, &QPushButton::toggled, &traceLog_, &TraceLog::setOn);
    connect(&traceLog_, &TraceLog::switchedOff, this,
            [this] { ui_->TraceButton->setChecked(false); });
    inputBlocker_.letThrough(*ui.TraceButton);

    layoutInDialogUnits(*this);
}

void CMervaneDlg::fillAdapterCombo() {
    {
        const QSignalBlocker quiet(ui_->AdapterCombo);
        for (const std::string& item : adapterItemTexts(adapterList_))
            ui_->AdapterCombo->addItem(fromUtf8(item));
        ui_->AdapterCombo->setCurrentIndex(0);
    }
    selectAdapter(0);
}

void CMervaneDlg::selectAdapter(int index) {
    chosenAdapter_ = index;
    // An attempt keeps the adapter it was started with; a choice made meanwhile is for the next.
    if (state_.link() == WindowState::Link::kNotConnected) {
        link_.setLocalBindAddress(bindAddressForItem(adapterList_, index));
    }
}

void CMervaneDlg::openSearch() {
    const int item = ui_->AdapterCombo->currentIndex();
    if (item < 0 || static_cast<size_t>(item) >= adapterList_.size()) return;
    DiscoveryDialog::Setup setup;
    setup.adapter = adapterList_[static_cast<size_t>(item)];
    // The probe connects where Connect would; a field that is no port gets the usual one.
    const uint32_t port = parsePortText(ui_->PortEdit->text().toStdString());
    setup.tcpPort = port >= 1 && port <= 0xFFFF ? static_cast<uint16_t>(port) : kDefaultTcpPort;
    // The identification time-out (-T) is how long a unit is given to answer Connect; the
    // search gives it as long.
    setup.replyWindowMs = timeoutMs_;
    setup.seam = discoverySeam_;
    setup.trace = &traceLog_.sharedSink();
    setup.size = programSettings().value(kPlantListSizeKey).toSize();
    setup.actions = plantActionSeams_;
    auto* search = new DiscoveryDialog(std::move(setup), this);
    connect(search, &QDialog::accepted, this,
            [this, search] { ui_->AddressEdit->setText(search->chosenAddress()); });
    connect(search, &QDialog::finished, this,
            [search] { programSettings().setValue(kPlantListSizeKey, search->size()); });
    openUnitsDialog(*search);
}

void CMervaneDlg::openUnitsDialog(QDialog& dialog) {
    dialog.setAttribute(Qt::WA_DeleteOnClose);
    unitsDialog_ = &dialog;
    state_.dialogOpened();
    connect(&dialog, &QDialog::finished, this, [this] { state_.dialogClosed(); });
    dialog.open();
}

DiscoveryDialog* CMervaneDlg::discoveryDialog() const {
    return qobject_cast<DiscoveryDialog*>(unitsDialog_.data());
}

void CMervaneDlg::saveProfile() {
    // Checked as "設定反映" checks it, but into a copy: the link's copy stays what the unit has.
    AutoOnOffSettings gathered = link_.settings();
    const auto reject = [this](const std::string& message) { showMessageNow(message); };
    if (panel_.gather(gathered, link_.identity(), reject) != kStatusOk) return;
    profiles_.save(gathered, link_.identity());
}

void CMervaneDlg::loadProfile() {
    const auto loaded = profiles_.load(link_.settings(), link_.identity());
    // The file dialog runs an event loop of its own; the window may have closed meanwhile.
    if (loaded && state_.verdict(Action::kOutputs) == WindowState::Verdict::kRun) {
        panel_.show(*loaded, link_.identity());
    }
}

void CMervaneDlg::stopWorkers() {
    state_.close();
    // The search's worker ends with its dialog.
    if (unitsDialog_) unitsDialog_->done(QDialog::Rejected);
    // Release any call a worker waits on before waiting for the worker.
    calls_.close();
    if (writing_) {
        // Cut short, a write would leave the unit with some outputs new and the rest old.
        waitWhileAnswering([this] { return exchangeRunning_.load() || procedure_.workerRunning(); },
                           [this] { return link_.transport().bytesReceived(); },
                           kWriteSilenceOnClose);
    }
    link_.stopSignal().request();
    if (exchange_.joinable()) exchange_.join();
    procedure_.shutdown();
    // No worker is left to reach the sink.
    traceLog_.setOn(false);
    inputBlocker_.setActive(false);
}

void CMervaneDlg::done(int result) {
    stopWorkers();
    QDialog::done(result);
}

void CMervaneDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMervaneDlg::showMessageNow(const std::string& text) {
    showOwnMessageNow(operatorMessageText(text));
}

void CMervaneDlg::showOwnMessageNow(const QString& text) {
    // Placed against a window that was never shown (the no-adapter message), a box would open
    // in a corner; without an owner it opens in the middle of the screen.
    QWidget* owner = isVisible() ? this : nullptr;
    presenter_.showMessage(owner, applicationTitle_, text);
}

}  // namespace mervane
