#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/ConnectionProcedure.h"
#include "link/DeviceLink.h"
#include "link/OperatorWindow.h"
#include "net/Adapters.h"
#include "ui/InputBlocker.h"
#include "ui/MessagePresenter.h"
#include "ui/PlantActions.h"
#include "ui/ProfileFiles.h"
#include "ui/SettingsPanel.h"
#include "ui/TraceLog.h"
#include "ui/UnitSearch.h"
#include "ui/VersionText.h"
#include "ui/WindowState.h"
#include "ui/WindowThreadCalls.h"

namespace Ui {
class MervaneDlg;
}

namespace mervane {

class DiscoveryDialog;

// The program's window: the local adapter, the unit's address and port, Connect/Disconnect, the
// unit id and model, the automatic ON/OFF settings panel and the version. It is the window of the
// device link: every OperatorWindow call may come from any thread and is carried out on the
// window thread, in order, returning when done (a message box when the operator has closed it).
//
// The connection runs on the connection procedure's worker; the settings buttons run their
// exchanges on a thread of their own while the window shows it is busy and takes no input but
// Esc. Closing (Esc, the close box) at any moment stops both promptly and waits for them, so no
// thread outlives the window's controls.
//
// What a press may start is the window's state's to say (WindowState): every button goes through
// press(), which runs it, queues it behind a connect that is ending, or refuses it; applyState()
// makes the controls' enabled flags follow the state. The state learns of a connect's end from
// the procedure (ConnectionProcedure::setAttemptEnded), never from the order of its calls.
//
// "検索..." opens the unit search (DiscoveryDialog, window-modal) on the chosen adapter while the
// window is neither connected nor connecting; a unit chosen there only fills the address field.
// While it is open the window starts no connect and no exchange (openUnitsDialog). Closing the
// window closes the search first, stopping it.
//
// "保存..." and "読込..." (usable only while connected) keep the panel's settings in a profile
// file (ProfileFiles) on the window thread. Saving gathers the panel as "設定反映" would, into a
// copy; loading fills the panel from a copy of the link's settings with the profile applied.
// Neither talks to the unit or changes the link's settings: "設定反映" writes what the panel shows.
//
// "通信ログ" switches the link's traffic log (TraceLog) on and off in any state, even while an
// exchange keeps input away from the rest of the window; the log shows in a window of its own.
class CMervaneDlg final : public QDialog, public OperatorWindow {
    Q_OBJECT

  public:
    // `link`, `adapters` and `presenter` must outlive the dialog. `arguments` are the program's
    // command-line arguments after its name; `applicationTitle` captions every message box.
    CMervaneDlg(DeviceLink& link, AdapterSource& adapters, MessagePresenter& presenter,
                std::vector<std::string> arguments, QString applicationTitle);
    ~CMervaneDlg() override;

    // Initialises the window and runs it modally. -1 when no local adapter is usable (the
    // operator has been told); otherwise the dialog's result.
    int runModal();

    // Everything that happens before the window is shown: controls bound and laid out, version,
    // adapters, interval list, port, Not connected state, command line. False (after the
    // no-adapter message) when there is no usable adapter.
    bool initDialog();

    int32_t timeoutMs() const { return timeoutMs_; }
    bool connected() const { return procedure_.connected(); }
    // A connection attempt or a settings exchange is under way, or a press waits for one.
    bool busy() const { return state_.busy(); }
    // What the window is doing, which decides what may run.
    const WindowState& state() const { return state_; }
    const AdapterList& adapterList() const { return adapterList_; }
    // How "検索..." searches; by default the fleet's discovery as planned from the adapter.
    void setDiscoverySeam(DiscoverySeam seam) { discoverySeam_ = std::move(seam); }
    // How the plant list's actions ask, tell and reach units; by default message boxes and file
    // dialogs, and links as the window's own.
    void setPlantActionSeams(PlantActionSeams seams) { plantActionSeams_ = std::move(seams); }
    // The unit search while it is open; null otherwise.
    DiscoveryDialog* discoveryDialog() const;
    // How "保存..." and "読込..." ask for a file; by default the file dialogs.
    void setProfilePathChooser(ProfilePathChooser chooser) {
        profiles_.setPathChooser(std::move(chooser));
    }
    // How a settings button's thread is started; by default as a std::thread. Tests make it fail.
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;
    void setExchangeThreadStarter(ThreadStarter starter) { threadStarter_ = std::move(starter); }
    // How the log window's "保存..." asks for a file; by default the file dialog.
    void setTraceLogPathChooser(TraceLogPathChooser chooser) {
        traceLog_.window().setPathChooser(std::move(chooser));
    }

    // OperatorWindow.
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    void showAutoOnOffSettings(const AutoOnOffSettings& settings,
                               const DeviceIdentity& unit) override;
    int gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity& unit) override;
    void setStatusText(const std::string& text) override;
    void setConnectCaption(const std::string& caption) override;
    void enableConnectButton(bool enabled) override;
    void setUnitIdText(const std::string& text) override;
    void setModelText(const std::string& text) override;
    void applyConnectionState(ConnectionState state, const DeviceIdentity& unit) override;
    // The fields as they were when Connect was last pressed: an attempt reads them once, at its
    // start.
    std::string addressText() override;
    std::string portText() override;

    // Ends the dialog; a running connection attempt or exchange is stopped and waited for first.
    // A write to the unit under way (設定反映, Start/Stop, a one-shot clearing after Yes) is let
    // finish first, for as long as the unit answers (about 1 s of silence ends the wait).
    void done(int result) override;

  protected:
    // Enter does nothing: it neither presses a button nor closes the window.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void bindControls();
    void fillAdapterCombo();
    void selectAdapter(int index);
    using Action = WindowState::Action;
    // A press of any of the window's buttons: run, queued or refused as the state says.
    void press(Action action);
    // Runs `action` now; the state has said it may.
    void run(Action action);
    // The controls' enabled flags (and the cursor) as the state says.
    void applyState();
    // Keeps the focus on the connect button across an attempt that disabled it.
    void setConnectEnabled(bool enabled);
    void connectOrDisconnect();
    // The connect worker has ended (posted by it): the window takes the attempt's outcome.
    void onConnectEnded();
    // Runs the queued presses in order, each once the exchange before it ends.
    void runQueuedPresses();
    void openSearch();
    // Opens `dialog` (window-modal) as one that works with units: while it is open the window
    // starts no connect and no exchange, and closing the window closes it first.
    void openUnitsDialog(QDialog& dialog);
    void saveProfile();
    void loadProfile();

    using Sequence = int (*)(DeviceLink&, OperatorWindow&);
    // Runs one settings sequence off the window thread, the window busy until it ends. `writes`:
    // the sequence writes to the unit, which a close lets finish.
    void runExchange(Sequence sequence, bool writes);
    void finishExchange();
    void stopWorkers();
    // A message box: a text of the link in the window's wording, or the window's own.
    void showMessageNow(const std::string& text);
    void showOwnMessageNow(const QString& text);

    std::unique_ptr<Ui::MervaneDlg> ui_;
    DeviceLink& link_;
    AdapterSource& adapters_;
    MessagePresenter& presenter_;
    const std::vector<std::string> arguments_;
    const QString applicationTitle_;
    QIcon icon_;
    VersionWords versionWords_;
    QString versionText_;
    AdapterList adapterList_;
    int32_t timeoutMs_ = kDefaultIdentTimeoutMs;
    SettingsPanel panel_;
    InputBlocker inputBlocker_{*this};
    WindowThreadCalls calls_{*this};
    // Its sink is reached from the workers: it goes after them, and is switched off once they end.
    TraceLog traceLog_{link_, *this, [this](const QString& text) {
                           presenter_.showMessage(&traceLog_.window(), applicationTitle_, text);
                       }};
    // Taken on the window thread before the worker starts, read by the worker; declared before
    // the procedure so that they outlive its worker.
    std::string pressedAddress_;
    std::string pressedPort_;
    ConnectionProcedure procedure_{link_, *this};
    std::thread exchange_;
    std::atomic<bool> exchangeRunning_{false};  // until the exchange's last step
    // A write to the unit is under way in the exchange or the connect worker.
    std::atomic<bool> writing_{false};
    ThreadStarter threadStarter_;
    WindowState state_;
    // The adapter chosen in the list, and the one the running or last attempt uses.
    int chosenAdapter_ = 0;
    int pressedAdapter_ = 0;
    // Where the focus went when the connect button was disabled under it.
    QPointer<QWidget> focusLeftConnect_;
    DiscoverySeam discoverySeam_;
    QPointer<QDialog> unitsDialog_;  // a child; deletes itself once closed
    PlantActionSeams plantActionSeams_;
    ProfileFiles profiles_{*this, [this](const QString& text) { showOwnMessageNow(text); }};
};

}  // namespace mervane
