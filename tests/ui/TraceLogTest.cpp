// The window's "通信ログ" against the simulated unit: off and empty by default, the requests the
// unit received in order, its line limit, 保存... and クリア, and input while an exchange runs.

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <csignal>

#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"
#include "ui/TraceLogWindow.h"

namespace mervane::testing {
namespace {

using Strings = std::vector<std::string>;

class TraceLogTest : public WindowFixture {
  protected:
    TraceLogWindow& log() { return *dialog->findChild<TraceLogWindow*>("TraceLogWindow"); }
    QStringList lines() { return log().lines(); }
};

TEST_F(TraceLogTest, AConnectShowsTheRequestsTheUnitReceivedInOrder) {
    openWindow();
    startUnit(19, "_W");
    connectToUnit();  // with the log off, as it starts
    EXPECT_FALSE(link.trace().on());
    click("ConnectButton");
    ASSERT_TRUE(waitUntilIdle());
    unit->clearReceived();
    click("TraceButton");
    EXPECT_TRUE(link.trace().on());
    ASSERT_TRUE(log().isVisible());
    EXPECT_GT(log().geometry().center().x(), dialog->geometry().center().x());
    EXPECT_TRUE(lines().isEmpty());
    connectToUnit();

    // What went out, as the unit received it and as the log shows it after its time and address.
    Strings expected, shown;
    int connection = 0;
    for (const sim::ReceivedRecord& r : unit->received()) {
        const char* proto = r.channel == sim::ReceivedRecord::Channel::kUdp ? "udp" : "tcp";
        if (*proto == 't' && r.connection != std::exchange(connection, r.connection))
            expected.push_back("tcp ->  --  connect");
        const QByteArray bytes(reinterpret_cast<const char*>(r.bytes.data()),
                               static_cast<qsizetype>(r.bytes.size()));
        expected.push_back(QString("%1 ->  %2  %3 bytes  %4")
                               .arg(proto, r.command.c_str(), QString::number(bytes.size()),
                                    bytes.toHex(' ').toUpper())
                               .toStdString());
    }
    for (const QString& line : lines().filter(" -> "))
        shown.push_back(line.mid(35).section("  |", 0, 0).toStdString());
    EXPECT_EQ(shown, expected);

    // Disconnect's close is traced on this thread; switched off before it arrives, it is dropped.
    const QStringList before = lines();
    click("ConnectButton");
    click("TraceButton");
    QApplication::processEvents();
    EXPECT_EQ(lines(), before);
    EXPECT_FALSE(link.trace().on());
    EXPECT_FALSE(log().isVisible());
    // Closing the log window switches it off as the button does.
    click("TraceButton");
    log().close();
    EXPECT_FALSE(control<QPushButton>("TraceButton")->isChecked());
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
    QString answer = folder.filePath("log.txt");
    dialog->setTraceLogPathChooser([&](QWidget&, const QString&) { return answer; });
    click("TraceSaveButton");
    QFile saved(answer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), (lines().join('\n') + '\n').toUtf8());
    answer = folder.filePath("no-such-folder/log.txt");
    click("TraceSaveButton");
    EXPECT_EQ(presenter.messages,
              Strings{"通信ログを保存できませんでした: " + answer.toStdString()});
    click("TraceClearButton");
    EXPECT_TRUE(lines().isEmpty());
}

TEST_F(TraceLogTest, OpensWhereAWholeLineFitsAndFollowsTheNewest) {
    openWindow();
    const QString request =
        "  1.000000  192.168.100.200:10003  tcp ->  OI  4 bytes  4F 49 27 C8  |OI'.|";
    for (int i = 0; i < 50; ++i)
        log().appendLine(request);
    dialog->move(620, 0);  // no room on the right of the 800 px screen, room on the left
    click("TraceButton");
    EXPECT_LT(log().frameGeometry().right(), dialog->frameGeometry().left());
    auto* view = log().findChild<QPlainTextEdit*>("TraceView");
    EXPECT_GE(view->viewport()->width(), view->fontMetrics().horizontalAdvance(request));
    QScrollBar& bar = *view->verticalScrollBar();
    log().appendLine(request);
    EXPECT_EQ(bar.value(), bar.maximum());
    bar.triggerAction(QAbstractSlider::SliderPageStepSub);  // the operator scrolls up
    const int kept = bar.value();
    log().appendLine(request);
    EXPECT_EQ(bar.value(), kept);
}

TEST_F(TraceLogTest, ASaveCutShortLeavesTheOldFileAndSaysSo) {
    openWindow();
    QTemporaryDir folder;
    const QString path = folder.filePath("log.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("old\n") == 4 && file.flush());
    log().appendLine(QString(400, 'x'));
    dialog->setTraceLogPathChooser([&](QWidget&, const QString&) { return path; });
    // Past a file size limit writes fail, as on a full disk.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{100, limit.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    click("TraceSaveButton");
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, handler);
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "old\n");
    EXPECT_EQ(presenter.messages, Strings{"通信ログを保存できませんでした: " + path.toStdString()});
}

TEST_F(TraceLogTest, TheLogTakesInputWhileAnExchangeBlocksTheWindow) {
    openWindow();
    startUnit(17, "_W", {}, {}, 300);
    connectToUnit();
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

    // Disconnect is not taken; the log's own buttons and the dialog's toggle are.
    QTest::mouseClick(widget("ConnectButton"), Qt::LeftButton);
    QTest::mouseClick(widget("TraceClearButton"), Qt::LeftButton);
    EXPECT_TRUE(lines().isEmpty());
    QTest::mouseClick(widget("TraceButton"), Qt::LeftButton);
    EXPECT_FALSE(link.trace().on());
    QTest::mouseClick(widget("TraceButton"), Qt::LeftButton);
    EXPECT_TRUE(link.trace().on());
    EXPECT_TRUE(dialog->connected());

    // After クリア the times start at 0 again.
    ASSERT_TRUE(waitUntilIdle(5000));
    EXPECT_EQ(presenter.messages, Strings{"設定取得通信エラー: 1-10060"});
    ASSERT_FALSE(lines().isEmpty());
    EXPECT_TRUE(lines().front().startsWith("  0.000000")) << lines().front().toStdString();
    EXPECT_TRUE(lines().back().contains("tcp <-  OJ  timed out (10060)"));
}

}  // namespace
}  // namespace mervane::testing
