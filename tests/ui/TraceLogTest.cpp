// The window's "通信ログ": what it shows of a connect against the simulated unit, that it is off
// and collects nothing by default, its line limit, 保存... and クリア, and that it takes input
// while an exchange keeps input away from the main dialog.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"
#include "ui/TraceLogWindow.h"

namespace mervane::testing {
namespace {

using Strings = std::vector<std::string>;

// "udp F6 00 00 00 F6", "tcp connect": what a line says went out, without times and ports.
std::string outgoing(const QString& line) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 6 || words[3] != "->") return {};
    if (words[5] == "connect") return "tcp connect";
    const QString hex =
        line.section(QStringLiteral("bytes  "), 1).section(QStringLiteral("  |"), 0, 0);
    return (words[2] + ' ' + words[4] + ' ' + hex).toStdString();
}

std::string hexOf(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()))
        .toHex(' ')
        .toUpper()
        .toStdString();
}

class TraceLogTest : public WindowFixture {
  protected:
    TraceLogWindow& log() { return *dialog->findChild<TraceLogWindow*>("TraceLogWindow"); }
    QStringList lines() { return log().lines(); }
    bool logOn() { return control<QPushButton>("TraceButton")->isChecked(); }
};

TEST_F(TraceLogTest, AConnectShowsEveryRequestTheUnitReceivedInOrder) {
    openWindow();
    startUnit(19, "_W");
    EXPECT_FALSE(logOn());
    connectToUnit();
    ASSERT_TRUE(dialog->connected());
    EXPECT_FALSE(link.trace().on());
    EXPECT_TRUE(lines().isEmpty());
    click("ConnectButton");
    ASSERT_TRUE(waitUntilIdle());

    unit->clearReceived();
    click("TraceButton");
    EXPECT_TRUE(link.trace().on());
    ASSERT_TRUE(log().isVisible());
    EXPECT_TRUE(log().isWindow());
    // Beside the dialog, or over its right edge on a screen too narrow for both.
    EXPECT_GT(log().geometry().center().x(), dialog->geometry().center().x());
    EXPECT_EQ(log().windowTitle(), "通信ログ");
    EXPECT_TRUE(lines().isEmpty());  // nothing of the connect while it was off
    connectToUnit();
    ASSERT_TRUE(dialog->connected());

    Strings expected;
    int connection = 0;
    int connects = 0;
    for (const sim::ReceivedRecord& r : unit->received()) {
        const bool udp = r.channel == sim::ReceivedRecord::Channel::kUdp;
        if (!udp && r.connection != connection) {
            expected.push_back("tcp connect");
            ++connects;
        }
        if (!udp) connection = r.connection;
        expected.push_back((udp ? "udp " : "tcp ") + r.command + ' ' + hexOf(r.bytes));
    }
    Strings shown;
    for (const QString& line : lines()) {
        if (const std::string sent = outgoing(line); !sent.empty()) shown.push_back(sent);
    }
    EXPECT_EQ(shown, expected);
    // The probe's session and the main one, each from the adapter.
    EXPECT_EQ(connects, 2);
    EXPECT_EQ(lines().filter(" connected  local 127.0.0.2:").size(), connects);

    // Disconnect closes the session on this thread; the log is switched off before that line
    // arrives, and the line is dropped.
    const QStringList before = lines();
    click("ConnectButton");
    click("TraceButton");
    QApplication::processEvents();
    EXPECT_EQ(lines(), before);
    EXPECT_FALSE(link.trace().on());
    EXPECT_FALSE(log().isVisible());

    // Closing the log window switches it off as the button does.
    click("TraceButton");
    EXPECT_TRUE(link.trace().on());
    log().close();
    EXPECT_FALSE(logOn());
    EXPECT_FALSE(link.trace().on());
}

TEST_F(TraceLogTest, TheViewKeepsTheNewestLinesSavesThemAndClears) {
    openWindow();
    const int fed = TraceLogWindow::kMaxLines + 5;
    for (int i = 0; i < fed; ++i)
        log().appendLine(QString::number(i));
    ASSERT_EQ(lines().size(), TraceLogWindow::kMaxLines);
    EXPECT_EQ(lines().front(), "5");
    EXPECT_EQ(lines().back(), QString::number(fed - 1));

    QTemporaryDir folder;
    QString answer;
    dialog->setTraceLogPathChooser([&](QWidget&, const QString&) { return answer; });
    answer = folder.filePath("log.txt");
    click("TraceSaveButton");
    QFile saved(answer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), (lines().join('\n') + '\n').toUtf8());
    EXPECT_TRUE(presenter.messages.empty());

    answer = folder.filePath("no-such-folder/log.txt");
    click("TraceSaveButton");
    EXPECT_EQ(presenter.messages,
              Strings{"通信ログを保存できませんでした: " + answer.toStdString()});

    click("TraceClearButton");
    EXPECT_TRUE(lines().isEmpty());
}

TEST_F(TraceLogTest, TheLogTakesInputWhileAnExchangeBlocksTheWindow) {
    openWindow();
    startUnit(17, "_W", {}, {}, 300);
    connectToUnit();
    ASSERT_TRUE(dialog->connected());
    click("TraceButton");
    sim::UnitFaults faults;
    faults.silentCommand = "OJ";
    unit->setFaults(faults);
    unit->clearReceived();
    click("ReceiveButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcpCommands(*unit).size() == 5; }, 1000));
    ASSERT_TRUE(dialog->busy());
    QApplication::processEvents();
    ASSERT_FALSE(lines().isEmpty());

    // Disconnect is not taken, the log's own buttons and the main window's toggle are.
    QTest::mouseClick(widget("ConnectButton"), Qt::LeftButton);
    QTest::mouseClick(widget("TraceClearButton"), Qt::LeftButton);
    EXPECT_TRUE(lines().isEmpty());
    QTest::mouseClick(widget("TraceButton"), Qt::LeftButton);
    EXPECT_FALSE(link.trace().on());
    QTest::mouseClick(widget("TraceButton"), Qt::LeftButton);
    EXPECT_TRUE(link.trace().on());
    EXPECT_TRUE(dialog->connected());

    // What comes after クリア starts at time 0; the request's time-outs are shown.
    ASSERT_TRUE(waitUntilIdle(5000));
    EXPECT_EQ(presenter.messages, Strings{"設定取得通信エラー: 1-10060"});
    ASSERT_FALSE(lines().isEmpty());
    EXPECT_TRUE(lines().front().startsWith("  0.000000")) << lines().front().toStdString();
    EXPECT_TRUE(lines().back().contains("tcp <-  OJ  timed out (10060)"))
        << lines().join('\n').toStdString();
}

}  // namespace
}  // namespace mervane::testing
