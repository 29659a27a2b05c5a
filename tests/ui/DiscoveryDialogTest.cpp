// The unit search of the window: what it searches, what it lists, what choosing a unit changes,
// how promptly it ends, and when "検索..." can be pressed.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "link/DeviceIdentity.h"
#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"
#include "ui/DiscoveryDialog.h"

namespace mervane::testing {
namespace {

// What scripted searches report, and what they were asked; shared with the test.
struct SearchScript {
    std::vector<fleet::DiscoveredUnit> units;  // each reported found, then probed as given
    size_t progressReports = 0;                // extra requestsSent reports before the units
    bool holdUntilStopped = false;             // then wait for stop() (30 s at most)
    std::mutex mutex;
    std::vector<fleet::DiscoveryPlan> plans;
    int runsEnded = 0;
    bool reported = false;  // everything above has been reported
};

class ScriptedSearch final : public UnitSearch {
  public:
    explicit ScriptedSearch(std::shared_ptr<SearchScript> script) : script_(std::move(script)) {}

    fleet::DiscoveryReport run(const fleet::DiscoveryPlan& plan,
                               fleet::DiscoveryObserver& observer) override {
        SearchScript& s = *script_;
        for (size_t i = 0; i < s.progressReports; ++i)
            observer.requestsSent(i, s.progressReports);
        observer.requestsSent(1, 1);
        for (const fleet::DiscoveredUnit& unit : s.units) {
            fleet::DiscoveredUnit found;
            found.source = unit.source;
            observer.unitFound(found);
        }
        for (const fleet::DiscoveredUnit& unit : s.units)
            observer.unitProbed(unit);
        {
            const std::lock_guard lock(s.mutex);
            s.plans.push_back(plan);
            s.reported = true;
        }
        std::unique_lock lock(mutex_);
        if (s.holdUntilStopped)
            stoppedChanged_.wait_for(lock, std::chrono::seconds(30), [this] { return stopped_; });
        fleet::DiscoveryReport report;
        report.stopped = stopped_;
        const std::lock_guard scriptLock(s.mutex);
        ++s.runsEnded;
        return report;
    }

    void stop() override {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        stoppedChanged_.notify_all();
    }

  private:
    std::shared_ptr<SearchScript> script_;
    std::mutex mutex_;
    std::condition_variable stoppedChanged_;
    bool stopped_ = false;
};

fleet::DiscoveredUnit probedUnit(const char* address, uint8_t unitId, int modelIndex,
                                 std::optional<bool> active, std::string error = {}) {
    fleet::DiscoveredUnit unit;
    unit.source.sin_family = AF_INET;
    unit.source.sin_addr.s_addr = ipv4(address);
    unit.probed = true;
    unit.identity.unitId = unitId;
    unit.identity.modelIndex = modelIndex;
    unit.identity.generation = UnitGeneration::kGen4;
    unit.active = active;
    unit.error = std::move(error);
    return unit;
}

class DiscoveryDialogTest : public WindowFixture {
  protected:
    // Opens the window (unless open) with scripted searches and presses "検索...".
    DiscoveryDialog* openSearch(std::vector<std::string> arguments = {}) {
        if (!dialog) openWindow(std::move(arguments));
        dialog->setDiscoverySeam(
            {[script = script] { return std::make_unique<ScriptedSearch>(script); }, {}});
        click("SearchButton");
        DiscoveryDialog* search = dialog->discoveryDialog();
        EXPECT_NE(search, nullptr);
        EXPECT_TRUE(search != nullptr && search->isVisible());
        return search;
    }
    template <typename Control>
    Control* in(DiscoveryDialog* search, const char* name) {
        auto* found = search->findChild<Control*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QStringList row(DiscoveryDialog* search, int index) {
        QStringList texts;
        const QTreeWidgetItem* item = in<QTreeWidget>(search, "UnitList")->topLevelItem(index);
        for (int column = 0; item != nullptr && column < item->columnCount(); ++column)
            texts << item->text(column);
        return texts;
    }
    // Every control of the main window as the operator sees it, but the address field.
    QStringList windowState() {
        QStringList state;
        for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->isWindow() || w->objectName() == "AddressEdit") continue;
            QString shown = w->objectName() + (w->isEnabled() ? " on " : " off ");
            if (auto* combo = qobject_cast<QComboBox*>(w)) shown += combo->currentText();
            if (qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
                qobject_cast<QAbstractButton*>(w))
                shown += text(w->objectName().toUtf8().constData());
            state << shown;
        }
        return state;
    }

    std::shared_ptr<SearchScript> script = std::make_shared<SearchScript>();
};

TEST_F(DiscoveryDialogTest, SearchesTheChosenAdapterAndListsUnitsInAddressOrder) {
    script->units = {probedUnit("127.0.0.9", 7, 19, true), probedUnit("127.0.0.3", 2, 17, false),
                     probedUnit("127.0.0.5", 0, 3, std::nullopt),
                     probedUnit("127.0.0.4", 255, -1, std::nullopt, "通信エラー")};
    openWindow({"-T900"});
    control<QLineEdit>("PortEdit")->setText("10005");
    DiscoveryDialog* search = openSearch();
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(search->windowTitle(), "ユニット検索");
    EXPECT_TRUE(search->isModal());
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->searching(); }, 5000));
    QApplication::processEvents();

    ASSERT_EQ(script->plans.size(), 1u);
    const fleet::DiscoveryPlan& plan = script->plans[0];
    EXPECT_EQ(plan.localAddress, ipv4("127.0.0.2"));
    EXPECT_EQ(plan.broadcasts, std::vector<uint32_t>{ipv4("127.255.255.255")});
    EXPECT_TRUE(plan.ranges.empty());
    EXPECT_EQ(plan.tcpPort, 10005);
    EXPECT_EQ(plan.replyWindowMs, 900);
    EXPECT_TRUE(plan.probe);

    ASSERT_EQ(search->unitCount(), 4);
    const auto model = [](int index) {
        DeviceIdentity identity;
        identity.modelIndex = index;
        identity.generation = UnitGeneration::kGen4;
        return QString::fromUtf8(std::string(modelDisplayName(identity)).c_str());
    };
    EXPECT_EQ(row(search, 0), QStringList({"127.0.0.3", "2", model(17), "Non-active"}));
    EXPECT_EQ(row(search, 1), QStringList({"127.0.0.4", "", "", "通信エラー"}));
    EXPECT_EQ(row(search, 2), QStringList({"127.0.0.5", "0", model(3), "自動ON/OFF非対応"}));
    EXPECT_EQ(row(search, 3), QStringList({"127.0.0.9", "7", model(19), "Active"}));
    EXPECT_EQ(in<QLabel>(search, "SearchStatus")->text(), "4 台のユニットが見つかりました。");
    EXPECT_EQ(in<QPushButton>(search, "StartButton")->text(), "再検索");
}

TEST_F(DiscoveryDialogTest, TypedTargetsJoinTheSearchOrAreRefused) {
    openWindow();
    control<QLineEdit>("PortEdit")->setText("70000");  // no port: the probe takes the usual one
    DiscoveryDialog* search = openSearch();
    ASSERT_NE(search, nullptr);
    auto* target = in<QLineEdit>(search, "TargetEdit");
    for (const char* refused : {"plant-unit.example", "127.0.0.0/8", "127.0.0.300", "a b"}) {
        target->setText(refused);
        EXPECT_FALSE(search->startSearch()) << refused;
        EXPECT_TRUE(in<QLabel>(search, "SearchStatus")->text().contains("入力してください"))
            << refused;
    }
    EXPECT_TRUE(script->plans.empty());

    target->setText(" 127.0.0.9/30 ");
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->searching(); }, 5000));
    ASSERT_EQ(script->plans.size(), 1u);
    ASSERT_EQ(script->plans[0].ranges.size(), 1u);
    EXPECT_EQ(script->plans[0].ranges[0].first, 0x7F000008u);
    EXPECT_EQ(script->plans[0].ranges[0].last, 0x7F00000Bu);
    EXPECT_EQ(script->plans[0].tcpPort, 10003);
}

TEST_F(DiscoveryDialogTest, AChosenUnitFillsTheAddressFieldAndNothingElse) {
    script->units = {probedUnit("127.0.0.3", 2, 17, false), probedUnit("127.0.0.9", 7, 19, true)};
    openWindow();
    control<QLineEdit>("AddressEdit")->setText("10.1.1.1");
    const QStringList before = windowState();

    // A double-click on a row.
    DiscoveryDialog* search = openSearch();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->unitCount() == 2; }, 5000));
    auto* list = in<QTreeWidget>(search, "UnitList");
    const QRect second = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_FALSE(search->isVisible());
    EXPECT_EQ(text("AddressEdit"), "127.0.0.9");
    EXPECT_EQ(windowState(), before);

    // OK with a row selected; OK stays disabled while none is.
    search = openSearch();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->searching(); }, 5000));
    EXPECT_FALSE(in<QPushButton>(search, "OkButton")->isEnabled());
    list = in<QTreeWidget>(search, "UnitList");
    list->setCurrentItem(list->topLevelItem(0));
    in<QPushButton>(search, "OkButton")->click();
    EXPECT_EQ(text("AddressEdit"), "127.0.0.3");
    EXPECT_EQ(windowState(), before);

    // Enter on a row, which the search's default button does not take.
    search = openSearch();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->searching(); }, 5000));
    list = in<QTreeWidget>(search, "UnitList");
    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(search->isVisible());
    EXPECT_FALSE(search->searching());  // the key started no search
    EXPECT_EQ(text("AddressEdit"), "127.0.0.9");
    EXPECT_FALSE(dialog->busy());
    EXPECT_TRUE(presenter.messages.empty());
}

TEST_F(DiscoveryDialogTest, CancelAndClosingTheWindowEndAHeldSearchPromptly) {
    script->holdUntilStopped = true;
    script->units = {probedUnit("127.0.0.3", 2, 17, false)};
    DiscoveryDialog* search = openSearch();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->unitCount() == 1; }, 5000));
    QElapsedTimer closing;
    closing.start();
    in<QPushButton>(search, "CancelButton")->click();
    EXPECT_LT(closing.elapsed(), 2000);  // the search would have held for 30 s
    EXPECT_FALSE(search->searching());
    EXPECT_FALSE(search->isVisible());
    EXPECT_EQ(text("AddressEdit"), "");
    QApplication::processEvents();

    // Closing the main window while many reports are still queued for the search's dialog.
    script->progressReports = 20000;
    search = openSearch();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::lock_guard lock(script->mutex);
            return script->reported;
        },
        5000));
    closing.restart();
    dialog->reject();
    EXPECT_LT(closing.elapsed(), 2000);
    EXPECT_FALSE(dialog->isVisible());
    dialog.reset();
    QApplication::processEvents();
    const std::lock_guard lock(script->mutex);
    EXPECT_EQ(script->runsEnded, 2);
}

TEST_F(DiscoveryDialogTest, SearchButtonOnlyWhileNeitherConnectedNorConnecting) {
    openWindow({"-T300"});
    sim::UnitFaults silent;
    silent.noUdpReply = true;
    startUnit(19, "_W", {}, silent);
    EXPECT_EQ(text("SearchButton"), "検索...");
    EXPECT_TRUE(enabled("SearchButton"));
    control<QLineEdit>("AddressEdit")->setText("127.0.0.1");
    click("ConnectButton");
    EXPECT_FALSE(enabled("SearchButton"));  // connecting
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(presenter.messages, std::vector<std::string>{"通信エラー"});
    EXPECT_TRUE(enabled("SearchButton"));

    startUnit(19, "_W");
    connectToUnit();
    ASSERT_TRUE(dialog->connected());
    EXPECT_FALSE(enabled("SearchButton"));
    click("ConnectButton");  // Disconnect
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_FALSE(dialog->connected());
    EXPECT_TRUE(enabled("SearchButton"));
}

TEST_F(DiscoveryDialogTest, TheRealSearchFindsAUnitOnTheAdaptersSubnet) {
    // The made-up adapter 127.0.0.2/8 broadcasts to 127.255.255.255, which only a unit bound to
    // every address receives; it answers from 127.0.0.1. Its ports are free ones, and the plan
    // is aimed at its UDP port; the probe takes its TCP port from the port field.
    sim::UnitConfig config = unitConfig(17, "_W");
    config.bindAddress = "0.0.0.0";
    config.udpPort = 0;
    config.tcpPort = 0;
    config.unitId = 5;
    config.initial.active = 1;
    unit = std::make_unique<sim::SimulatedUnit>(config);
    std::string error;
    ASSERT_TRUE(unit->start(&error)) << error;

    openWindow();
    control<QLineEdit>("PortEdit")->setText(QString::number(unit->tcpPort()));
    dialog->setDiscoverySeam({{}, [port = unit->udpPort()](fleet::DiscoveryPlan& plan) {
                                  plan.identificationPort = port;
                                  plan.replyWindowMs = 200;
                              }});
    click("SearchButton");
    DiscoveryDialog* search = dialog->discoveryDialog();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(search->startSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->searching(); }, 10000));
    ASSERT_EQ(search->unitCount(), 1) << in<QLabel>(search, "SearchStatus")->text().toStdString();
    DeviceIdentity identity;
    identity.modelIndex = 17;
    identity.generation = UnitGeneration::kGen4;
    EXPECT_EQ(row(search, 0),
              QStringList({"127.0.0.1", "5", QString::fromUtf8(modelDisplayName(identity).data()),
                           "Active"}));
    for (const sim::ReceivedRecord& record : unit->received())
        EXPECT_EQ(record.sourceAddress, "127.0.0.2") << record.command;
}

}  // namespace
}  // namespace mervane::testing
