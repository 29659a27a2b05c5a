// The main window: its start state, the controls for each connection state and unit, the
// keyboard, the adapter choice and the command line.

#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

#include "link/AutoOnOffSettings.h"
#include "net/Adapters.h"
#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"

namespace mervane::testing {
namespace {

// What each connected state shows and enables, row by row.
struct Expected {
    int timedRows = 0;    // rows with check box, times and labels shown and enabled
    int checkedRows = 0;  // rows with only the check box shown and enabled
    bool interval = false;
};

class MainDialogTest : public WindowFixture {
  protected:
    void expectConnectedWindow(Expected e, const char* unitName);
};

TEST_F(MainDialogTest, StartsNotConnectedWithDefaults) {
    openWindow();
    EXPECT_EQ(dialog->windowTitle(), "Mervane");
    EXPECT_EQ(text("PortEdit"), "10003");
    EXPECT_EQ(text("AddressEdit"), "");
    EXPECT_EQ(text("ConnectButton"), "Connect");
    EXPECT_TRUE(enabled("ConnectButton"));
    EXPECT_EQ(text("VersionLabel"), "Version 1.11");
    for (const char* emptied : {"UnitIdText", "ModelText", "StatusText"})
        EXPECT_EQ(text(emptied), "") << emptied;

    auto* adapterCombo = control<QComboBox>("AdapterCombo");
    ASSERT_EQ(adapterCombo->count(), 1);  // loopback is left out
    EXPECT_EQ(adapterCombo->currentText(), "127.0.0.2 (test0)");
    EXPECT_EQ(link.localBindAddress(), ipv4("127.0.0.2"));

    auto* intervalCombo = control<QComboBox>("IntervalCombo");
    EXPECT_FALSE(shown("IntervalCombo"));
    ASSERT_EQ(intervalCombo->count(), kIntervalCount);
    EXPECT_EQ(intervalCombo->itemText(0), "100");
    EXPECT_EQ(intervalCombo->itemText(31), "14000");
    EXPECT_EQ(intervalCombo->currentIndex(), -1);

    for (int row = 1; row <= 8; ++row) {
        for (const std::string& name : rowControls(row)) {
            EXPECT_TRUE(shown(name)) << name;
            EXPECT_FALSE(enabled(name)) << name;
        }
    }
    for (const char* button : {"ReceiveButton", "ApplyButton", "StartStopButton"})
        EXPECT_FALSE(enabled(button)) << button;
    for (const char* field : {"AdapterCombo", "AddressEdit", "PortEdit"})
        EXPECT_TRUE(enabled(field)) << field;
    EXPECT_EQ(dialog->timeoutMs(), 2000);
}

TEST_F(MainDialogTest, TabOrderFollowsTheForm) {
    openWindow();
    // The added buttons where they sit: 通信ログ and 検索... under Connect, 保存... and 読込...
    // left of 設定受信.
    std::vector<std::string> expected{
        "AdapterCombo", "AddressEdit",  "PortEdit",          "ConnectButton",     "TraceButton",
        "SearchButton", "EnableCheck1", "SaveProfileButton", "LoadProfileButton", "ReceiveButton",
        "ApplyButton",  "OnTimeEdit1",  "OffTimeEdit1"};
    for (int row = 2; row <= 8; ++row) {
        for (const char* kind : {"EnableCheck", "OnTimeEdit", "OffTimeEdit"})
            expected.push_back(kind + std::to_string(row));
    }
    expected.insert(expected.end(), {"StartStopButton", "IntervalCombo"});
    QWidget* w = control<QWidget>("AdapterCombo");
    for (const std::string& name : expected) {
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->objectName().toStdString(), name);
        w = w->nextInFocusChain();
        while (w != nullptr && w->focusPolicy() == Qt::NoFocus && w != dialog.get())
            w = w->nextInFocusChain();
    }
}

TEST_F(MainDialogTest, CommandLineSetsTheIdentificationTimeout) {
    openWindow({"-t800", "ignored", "/T900", "-T0"});
    EXPECT_EQ(dialog->timeoutMs(), 900);
}

TEST_F(MainDialogTest, NoUsableAdapterTellsTheOperatorAndEnds) {
    adapters.interfaceList = {loopback(1)};
    adapters.addressRows = {addressRow("127.0.0.1", 1, "255.0.0.0")};
    dialog = std::make_unique<CMervaneDlg>(link, adapters, presenter, std::vector<std::string>{},
                                           "mervane");
    presenter.expectedOwner = dialog.get();
    EXPECT_EQ(dialog->runModal(), -1);
    EXPECT_EQ(presenter.messages, std::vector<std::string>{kNoAdapterMessage});
    EXPECT_EQ(presenter.captions, std::vector<std::string>{"mervane"});
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MainDialogTest, TheNoAdapterMessageOpensInTheMiddleOfTheScreen) {
    adapters.interfaceList = {loopback(1)};
    adapters.addressRows = {addressRow("127.0.0.1", 1, "255.0.0.0")};
    MessageBoxPresenter messageBoxes;
    dialog = std::make_unique<CMervaneDlg>(link, adapters, messageBoxes, std::vector<std::string>{},
                                           "mervane");
    QRect box;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            box = shown->frameGeometry();
            shown->accept();
        }
    });
    closer.start(10);
    EXPECT_EQ(dialog->runModal(), -1);
    ASSERT_TRUE(box.isValid());
    const QPoint middle = QApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((box.center() - middle).manhattanLength(), 4)
        << box.center().x() << "," << box.center().y();
}

TEST_F(MainDialogTest, ChoosingAnAdapterBindsTheNextConnectionToIt) {
    adapters.interfaceList = {ethernet(3, "first"), ethernet(9, "second")};
    adapters.addressRows = {addressRow("127.0.0.3", 3), addressRow("127.0.0.2", 9)};
    openWindow();
    EXPECT_EQ(link.localBindAddress(), ipv4("127.0.0.3"));
    startUnit(19, "_W");
    control<QComboBox>("AdapterCombo")->setCurrentIndex(1);
    EXPECT_EQ(link.localBindAddress(), ipv4("127.0.0.2"));
    connectToUnit();
    ASSERT_TRUE(dialog->connected());
    for (const sim::ReceivedRecord& record : unit->received())
        EXPECT_EQ(record.sourceAddress, "127.0.0.2") << record.command;
}

TEST_F(MainDialogTest, EnterDoesNothingAndEscCloses) {
    startUnit(19, "_W");
    openWindow();
    control<QLineEdit>("AddressEdit")->setText("127.0.0.1");
    control<QLineEdit>("PortEdit")->setText(QString::number(unit->tcpPort()));
    for (const char* focused :
         {"ConnectButton", "AddressEdit", "PortEdit", "AdapterCombo", "EnableCheck1"}) {
        QWidget* w = widget(focused);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter);
    }
    QApplication::processEvents();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->busy());  // Connect was not pressed
    EXPECT_TRUE(unit->received().empty());
    EXPECT_FALSE(control<QCheckBox>("EnableCheck1")->isChecked());

    QTest::keyClick(widget("AddressEdit"), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

void MainDialogTest::expectConnectedWindow(Expected e, const char* unitName) {
    SCOPED_TRACE(unitName);
    for (int row = 1; row <= 8; ++row) {
        const std::string check = "EnableCheck" + std::to_string(row);
        const bool rowUsed = row <= e.timedRows || row <= e.checkedRows;
        EXPECT_EQ(shown(check), rowUsed) << check;
        if (rowUsed) {
            EXPECT_TRUE(enabled(check)) << check;
        }
        for (const std::string& name : rowTimeControls(row)) {
            EXPECT_EQ(shown(name), row <= e.timedRows) << name;
            if (row <= e.timedRows) {
                EXPECT_TRUE(enabled(name)) << name;
            }
        }
    }
    for (const char* name : {"IntervalCombo", "IntervalLabel", "IntervalUnitLabel"}) {
        EXPECT_EQ(shown(name), e.interval) << name;
        if (e.interval) {
            EXPECT_TRUE(enabled(name)) << name;
        }
    }
    for (const char* button : {"ReceiveButton", "ApplyButton", "StartStopButton", "ConnectButton"})
        EXPECT_TRUE(enabled(button)) << button;
    for (const char* field : {"AdapterCombo", "AddressEdit", "PortEdit"})
        EXPECT_FALSE(enabled(field)) << field;
    EXPECT_EQ(text("ConnectButton"), "Disconnect");
    EXPECT_EQ(text("ModelText").toStdString(), modelDisplayName(link.identity()));
}

TEST_F(MainDialogTest, ConnectedControlsFollowTheUnitsGenerationAndOutputs) {
    openWindow();
    // Generation 4 with four outputs: rows DO1..DO4 with their times, no interval.
    sim::UnitSettingsState state;
    state.active = 1;
    state.enableMask = 0x05;
    startUnit(17, "_W", state);
    connectToUnit();
    ASSERT_TRUE(dialog->connected()) << ::testing::PrintToString(presenter.messages);
    expectConnectedWindow({.timedRows = 4}, "generation 4, 4 outputs");
    EXPECT_EQ(text("StatusText"), "Active");
    EXPECT_EQ(text("UnitIdText"), "0");

    // Disconnect: the rows keep their last visibility, disabled; the fields are editable again.
    click("ConnectButton");
    EXPECT_FALSE(dialog->connected());
    EXPECT_EQ(text("ConnectButton"), "Connect");
    for (int row = 1; row <= 8; ++row) {
        for (const std::string& name : rowControls(row)) {
            EXPECT_EQ(shown(name), row <= 4) << name;
            EXPECT_FALSE(enabled(name)) << name;
        }
    }
    for (const char* field : {"AdapterCombo", "AddressEdit", "PortEdit"})
        EXPECT_TRUE(enabled(field)) << field;
    EXPECT_EQ(text("AddressEdit"), "127.0.0.1");
    for (const char* emptied : {"UnitIdText", "ModelText", "StatusText"})
        EXPECT_EQ(text(emptied), "") << emptied;
    EXPECT_TRUE(control<QCheckBox>("EnableCheck3")->isChecked());  // contents stay

    // Generation 3 with five outputs: check boxes DO1..DO5 come back, the interval list shows.
    startUnit(3, "_L");
    connectToUnit();
    ASSERT_TRUE(dialog->connected()) << ::testing::PrintToString(presenter.messages);
    expectConnectedWindow({.checkedRows = 5, .interval = true}, "generation 3, 5 outputs");
    EXPECT_EQ(text("StatusText"), "Non-active");

    click("ConnectButton");
    startUnit(0, "_L");
    connectToUnit();
    ASSERT_TRUE(dialog->connected()) << ::testing::PrintToString(presenter.messages);
    expectConnectedWindow({.checkedRows = 2, .interval = true}, "generation 3, 2 outputs");
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
}

TEST_F(MainDialogTest, AFailedConnectionTellsTheOperatorAndOffersConnectAgain) {
    openWindow();
    startUnit(2, "_L");  // a model without automatic ON/OFF
    connectToUnit();
    EXPECT_FALSE(dialog->connected());
    EXPECT_EQ(presenter.messages,
              std::vector<std::string>{"自動ON/OFFに対応していないモデルです。"});
    EXPECT_TRUE(presenter.ownedByWindow);
    EXPECT_EQ(text("ConnectButton"), "Connect");
    EXPECT_TRUE(enabled("ConnectButton"));
    EXPECT_FALSE(enabled("ApplyButton"));
}

// Presses as soon as `button` comes back enabled while `when` holds, up to `times` times: the
// first thing the event loop does after the worker's call that enabled it.
class PressOnReturn final : public QObject {
  public:
    PressOnReturn(QPushButton& button, int times, std::function<bool()> when,
                  std::function<void()> press)
        : button_(button), times_(times), when_(std::move(when)), press_(std::move(press)) {
        button_.installEventFilter(this);
    }
    int presses = 0;

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && button_.isEnabled() && presses < times_ &&
            when_()) {
            ++presses;
            QTimer::singleShot(0, &button_, press_);
        }
        return false;
    }

  private:
    QPushButton& button_;
    int times_;
    std::function<bool()> when_;
    std::function<void()> press_;
};

TEST_F(MainDialogTest, APressTheMomentTheConnectButtonReturnsIsNotLost) {
    openWindow();
    startUnit(19, "_W");
    auto& button = *control<QPushButton>("ConnectButton");
    // Disconnect, and connect again at once, each time a connect has given the button back.
    PressOnReturn presser(
        button, 5, [this] { return dialog->connected(); },
        [&button] {
            button.click();
            button.click();
        });
    connectToUnit();
    // Each press connects anew, so the unit sees the probe and the session of six connects.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return unit->connectionsAccepted() == 12 && dialog->connected() && !dialog->busy(); },
        10000));
    EXPECT_EQ(presser.presses, 5);
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
}

TEST_F(MainDialogTest, APressOfASettingsButtonTheMomentItReturnsIsNotLost) {
    openWindow();
    startUnit(19, "_W");
    // Start/Stop comes back with the worker's call before its last one (the connect button's).
    auto& startStop = *control<QPushButton>("StartStopButton");
    PressOnReturn presser(
        startStop, 1, [] { return true; }, [&startStop] { startStop.click(); });
    connectToUnit();
    ASSERT_EQ(presser.presses, 1);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(unit->settings().active, 1);
    EXPECT_EQ(text("StatusText"), "Active");
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
}

TEST_F(MainDialogTest, PressesQueuedBehindTheConnectRunInTheirOrder) {
    openWindow();
    startUnit(19, "_W");
    auto& startStop = *control<QPushButton>("StartStopButton");
    PressOnReturn presser(
        startStop, 1, [] { return true; },
        [this, &startStop] {
            startStop.click();
            click("ReceiveButton");
        });
    connectToUnit();
    ASSERT_TRUE(waitUntilIdle(5000));
    EXPECT_EQ(unit->settings().active, 1);
    // After the connect (its unit query, then the read): Start/Stop's write, then the same read.
    const std::vector<std::string> sent = tcpCommands(*unit);
    const auto write = std::find(sent.begin(), sent.end(), "OL");
    ASSERT_NE(write, sent.end());
    EXPECT_EQ(std::vector(write + 1, sent.end()), std::vector(sent.begin() + 1, write));
}

TEST_F(MainDialogTest, AnAttemptUsesTheFieldsAsTheyWereWhenConnectWasPressed) {
    openWindow();
    startUnit(19, "_W");
    control<QLineEdit>("AddressEdit")->setText("127.0.0.1");
    control<QLineEdit>("PortEdit")->setText(QString::number(unit->tcpPort()));
    click("ConnectButton");
    // The fields stay editable during the attempt; what is typed now is for the next one.
    control<QLineEdit>("AddressEdit")->setText("192.0.2.1");
    control<QLineEdit>("PortEdit")->clear();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(dialog->connected()) << ::testing::PrintToString(presenter.messages);
    // Connected, the window shows the unit it talks to.
    EXPECT_EQ(text("AddressEdit"), "127.0.0.1");
    EXPECT_EQ(text("PortEdit"), QString::number(unit->tcpPort()));
}

TEST_F(MainDialogTest, AnAttemptKeepsTheAdapterItStartedWithAndTheFocusOnConnect) {
    adapters.interfaceList = {ethernet(3, "first"), ethernet(9, "second")};
    adapters.addressRows = {addressRow("127.0.0.3", 3), addressRow("127.0.0.2", 9)};
    openWindow();
    startUnit(19, "_W");
    control<QLineEdit>("AddressEdit")->setText("127.0.0.1");
    control<QLineEdit>("PortEdit")->setText(QString::number(unit->tcpPort()));
    widget("ConnectButton")->setFocus();
    click("ConnectButton");
    control<QComboBox>("AdapterCombo")->setCurrentIndex(1);  // for the next attempt
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_TRUE(dialog->connected());
    for (const sim::ReceivedRecord& record : unit->received())
        EXPECT_EQ(record.sourceAddress, "127.0.0.3") << record.command;
    EXPECT_EQ(control<QComboBox>("AdapterCombo")->currentIndex(), 0);
    EXPECT_EQ(dialog->focusWidget(), widget("ConnectButton"));
}

TEST_F(MainDialogTest, APressQueuedAsTheConnectEndsIsDroppedByADisconnect) {
    openWindow();
    startUnit(19, "_W");
    auto& startStop = *control<QPushButton>("StartStopButton");
    auto& connect = *control<QPushButton>("ConnectButton");
    PressOnReturn queued(
        startStop, 1, [] { return true; }, [&startStop] { startStop.click(); });
    PressOnReturn disconnect(
        connect, 1, [this] { return dialog->connected(); }, [&connect] { connect.click(); });
    connectToUnit();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_FALSE(dialog->connected());
    EXPECT_EQ(unit->settings().active, 0);
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
}

}  // namespace
}  // namespace mervane::testing
