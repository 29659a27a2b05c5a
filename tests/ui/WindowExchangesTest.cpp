// The settings buttons end to end against the simulated unit, the one-shot question answered
// through the window, and closing the window while an exchange or an identification waits.

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>

#include <QInputMethodEvent>

#include <future>
#include <memory>
#include <system_error>

#include "link/HostLookup.h"
#include "link/SocketError.h"
#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"
#include "ui/SettingsPanel.h"

namespace mervane::testing {
namespace {

using Strings = std::vector<std::string>;

class WindowExchangesTest : public WindowFixture {
  protected:
    void connectTo(int modelIndex, const char (&type)[3], sim::UnitSettingsState initial = {},
                   int sessionTimeoutMs = 2000) {
        openWindow();
        startUnit(modelIndex, type, initial, {}, sessionTimeoutMs);
        connectToUnit();
        ASSERT_TRUE(dialog->connected()) << ::testing::PrintToString(presenter.messages);
        unit->clearReceived();
    }
    void press(const char* button) {
        click(button);
        ASSERT_TRUE(waitUntilIdle());
    }
    void silence(const char* command) {
        sim::UnitFaults faults;
        faults.silentCommand = command;
        unit->setFaults(faults);
    }
};

TEST_F(WindowExchangesTest, ApplyReceiveAndStartStopReachTheUnit) {
    connectTo(17, "_W");
    control<QCheckBox>("EnableCheck2")->setChecked(true);
    for (int row = 1; row <= 4; ++row) {
        control<QLineEdit>(("OnTimeEdit" + std::to_string(row)).c_str())
            ->setText("1" + QString::number(row));
        control<QLineEdit>(("OffTimeEdit" + std::to_string(row)).c_str())
            ->setText("2" + QString::number(row));
    }
    press("ApplyButton");
    sim::UnitSettingsState held = unit->settings();
    EXPECT_EQ(held.enableMask, 0x02);
    EXPECT_EQ(held.onTime, (std::array<uint8_t, 8>{11, 12, 13, 14}));
    EXPECT_EQ(held.offTime, (std::array<uint8_t, 8>{21, 22, 23, 24}));

    held.enableMask = 0x09;
    held.onTime[3] = 99;
    unit->setSettings(held);
    press("ReceiveButton");
    EXPECT_TRUE(control<QCheckBox>("EnableCheck1")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("EnableCheck2")->isChecked());
    EXPECT_EQ(text("OnTimeEdit4"), "99");

    press("StartStopButton");
    EXPECT_EQ(text("StatusText"), "Active");
    EXPECT_EQ(unit->settings().active, 1);
    press("StartStopButton");
    EXPECT_EQ(text("StatusText"), "Non-active");
    EXPECT_EQ(unit->settings().active, 0);
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
    EXPECT_TRUE(dialog->connected());
}

TEST_F(WindowExchangesTest, AnIntervalUnitIsToldTheChosenInterval) {
    connectTo(3, "_L");
    control<QComboBox>("IntervalCombo")->setCurrentIndex(9);  // 1000 ms
    control<QCheckBox>("EnableCheck5")->setChecked(true);
    press("ApplyButton");
    EXPECT_EQ(unit->settings().intervalIndex, 9);
    EXPECT_EQ(unit->settings().enableMask & 0x10, 0x10);
}

TEST_F(WindowExchangesTest, ARefusedTimeSendsNothing) {
    connectTo(17, "_W");
    control<QLineEdit>("OffTimeEdit3")->setText("0");
    press("ApplyButton");
    EXPECT_EQ(presenter.messages, Strings{kTimeRangeMessage});
    EXPECT_TRUE(presenter.ownedByWindow);
    EXPECT_TRUE(tcpCommands(*unit).empty());
}

TEST_F(WindowExchangesTest, AFailedExchangeShowsItsMessageAndStaysConnected) {
    connectTo(17, "_W", {}, 200);
    silence("OJ");
    press("ReceiveButton");
    EXPECT_EQ(presenter.messages, Strings{"設定取得通信エラー: 1-10060"});
    EXPECT_TRUE(dialog->connected());
    EXPECT_TRUE(enabled("ReceiveButton"));
    EXPECT_EQ(text("ConnectButton"), "Disconnect");
}

TEST_F(WindowExchangesTest, TheOneShotQuestionIsAskedByTheWindow) {
    sim::UnitSettingsState initial;
    initial.oneShot[1] = 3;
    presenter.answerYes = true;
    connectTo(17, "_W", initial);
    ASSERT_EQ(presenter.questions.size(), 1u);
    EXPECT_EQ(presenter.questions[0].rfind("ワンショット出力設定されている端子があります。", 0),
              0u);
    EXPECT_TRUE(presenter.ownedByWindow);
    EXPECT_EQ(unit->settings().oneShot[1], 0);
}

TEST_F(WindowExchangesTest, NoToTheOneShotQuestionLeavesTheWindowNotConnected) {
    openWindow();
    sim::UnitSettingsState initial;
    initial.oneShot[0] = 1;
    startUnit(17, "_W", initial);
    connectToUnit();
    EXPECT_EQ(presenter.questions.size(), 1u);
    EXPECT_TRUE(presenter.messages.empty());
    EXPECT_FALSE(dialog->connected());
    EXPECT_EQ(text("ConnectButton"), "Connect");
    EXPECT_TRUE(enabled("ConnectButton"));
}

TEST_F(WindowExchangesTest, WhileAnExchangeWaitsOnlyEscReachesTheWindow) {
    connectTo(17, "_W", {}, 10000);
    silence("OJ");
    click("ReceiveButton");
    const Strings waitingAtTheActiveFlag{"NJ", "NJ", "NJ", "NJ", "OJ"};  // one-shot check first
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return tcpCommands(*unit) == waitingAtTheActiveFlag; }, 5000));
    EXPECT_TRUE(dialog->busy());
    // A press of Disconnect or Start/Stop now is not taken.
    QTest::mouseClick(widget("ConnectButton"), Qt::LeftButton);
    QTest::mouseClick(widget("StartStopButton"), Qt::LeftButton);
    QTest::keyClick(widget("ConnectButton"), Qt::Key_Space);
    // Nor is text committed by an input method, which the apply would write.
    const QString before = text("OnTimeEdit1");
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("7"));
    QApplication::sendEvent(widget("OnTimeEdit1"), &commit);
    QApplication::processEvents();
    EXPECT_EQ(text("OnTimeEdit1"), before);
    EXPECT_TRUE(dialog->connected());
    EXPECT_EQ(tcpCommands(*unit), waitingAtTheActiveFlag);

    QElapsedTimer closing;
    closing.start();
    QTest::keyClick(widget("AddressEdit"), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->busy());
    EXPECT_LT(closing.elapsed(), 5000);  // the unit would have kept it waiting 10 s
    QApplication::processEvents();
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
}

TEST_F(WindowExchangesTest, ClosingDuringAnApplyLetsTheUnitBeWrittenToTheEnd) {
    connectTo(19, "_W");
    for (int row = 1; row <= 8; ++row) {
        for (const char* edit : {"OnTimeEdit", "OffTimeEdit"})
            control<QLineEdit>((edit + std::to_string(row)).c_str())->setText("33");
    }
    sim::UnitFaults late;
    late.replyDelayMs = 100;  // nine exchanges: about a second
    unit->setFaults(late);
    click("ApplyButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tcpCommands(*unit).empty(); }, 5000));
    dialog->reject();
    EXPECT_FALSE(dialog->busy());
    EXPECT_EQ(unit->settings().onTime, (std::array<uint8_t, 8>{33, 33, 33, 33, 33, 33, 33, 33}));
}

TEST_F(WindowExchangesTest, AButtonWhoseThreadCannotStartSaysSoAndLeavesTheWindowUsable) {
    connectTo(19, "_W");
    dialog->setExchangeThreadStarter([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    click("ReceiveButton");
    EXPECT_EQ(presenter.messages, Strings{"通信を始められませんでした。"});
    EXPECT_FALSE(dialog->busy());
    EXPECT_NE(dialog->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(tcpCommands(*unit).empty());
}

TEST_F(WindowExchangesTest, ClosingWhileTheIdentificationWaitsEndsAtOnce) {
    openWindow({"-T15000"});
    sim::UnitFaults faults;
    faults.noUdpReply = true;
    startUnit(19, "_W", {}, faults);
    control<QLineEdit>("AddressEdit")->setText("127.0.0.1");
    click("ConnectButton");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !unit->received().empty(); }, 5000));
    EXPECT_TRUE(dialog->busy());
    EXPECT_EQ(text("ConnectButton"), "Disconnect");
    EXPECT_FALSE(enabled("ConnectButton"));

    QElapsedTimer closing;
    closing.start();
    dialog->reject();
    EXPECT_FALSE(dialog->busy());
    EXPECT_LT(closing.elapsed(), 5000);  // the identification would have waited 15 s
    QApplication::processEvents();
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
    EXPECT_FALSE(dialog->connected());
}

TEST_F(WindowExchangesTest, ClosingWhileANameIsLookedUpEndsAtOnce) {
    openWindow();
    // A resolver that waits, as for a name server that does not answer: until it is let go, or
    // 3 s at most, so that a window which waits for it fails rather than hangs.
    auto asked = std::make_shared<std::promise<void>>();
    auto letGo = std::make_shared<std::promise<void>>();
    link.setHostResolver([asked, released = letGo->get_future().share()](const std::string&) {
        asked->set_value();
        released.wait_for(std::chrono::seconds(3));
        return HostLookupResult{false, {}, wsa::kTryAgain};
    });
    control<QLineEdit>("AddressEdit")->setText("unit7.plant.example");
    click("ConnectButton");
    ASSERT_EQ(asked->get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);

    QElapsedTimer closing;
    closing.start();
    dialog->reject();
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_FALSE(dialog->busy());
    letGo->set_value();
    QApplication::processEvents();
    EXPECT_TRUE(presenter.messages.empty()) << ::testing::PrintToString(presenter.messages);
}

}  // namespace
}  // namespace mervane::testing
