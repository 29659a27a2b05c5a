// The unit search of the window: what it searches, what it lists, what choosing a unit changes,
// how promptly it ends, and when "検索..." can be pressed.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <condition_variable>
#include <mutex>

#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"
#include "ui/DiscoveryDialog.h"
#include "ui/PlantListFile.h"

namespace mervane::testing {
namespace {

// Reports `units` (found, then probed as given) after `progressReports` progress reports, keeps
// the plans it ran and, when told to hold, waits for stop() (30 s at most) before it returns.
struct SearchScript {
    std::vector<fleet::DiscoveredUnit> units;
    size_t progressReports = 1;
    bool hold = false;
    std::mutex mutex;
    std::vector<fleet::DiscoveryPlan> plans;  // one per run that has reported everything
    int runsEnded = 0;
};

class ScriptedSearch final : public UnitSearch {
  public:
    explicit ScriptedSearch(std::shared_ptr<SearchScript> s) : s_(std::move(s)) {}
    fleet::DiscoveryReport run(const fleet::DiscoveryPlan& plan,
                               fleet::DiscoveryObserver& observer) override {
        for (size_t i = 1; i <= s_->progressReports; ++i)
            observer.requestsSent(i, s_->progressReports);
        for (const fleet::DiscoveredUnit& unit : s_->units) {
            fleet::DiscoveredUnit heard;  // found: its address, nothing probed yet
            heard.source = unit.source;
            observer.unitFound(heard);
        }
        for (const fleet::DiscoveredUnit& unit : s_->units)
            observer.unitProbed(unit);
        std::unique_lock lock(s_->mutex);
        s_->plans.push_back(plan);
        stopped_.wait_for(lock, std::chrono::seconds(s_->hold ? 30 : 0), [this] { return stop_; });
        ++s_->runsEnded;
        return {};
    }
    void stop() override {
        const std::lock_guard lock(s_->mutex);
        stop_ = true;
        stopped_.notify_all();
    }

  private:
    std::shared_ptr<SearchScript> s_;
    std::condition_variable stopped_;
    bool stop_ = false;
};

fleet::DiscoveredUnit unitAt(const char* address, uint8_t unitId, int modelIndex,
                             std::optional<bool> active, std::string error = {}) {
    fleet::DiscoveredUnit unit;
    unit.source.sin_addr.s_addr = ipv4(address);
    unit.probed = true;
    unit.identity.unitId = unitId;
    unit.identity.modelIndex = modelIndex;
    unit.identity.generation = UnitGeneration::kGen4;
    unit.active = active;
    unit.error = std::move(error);
    return unit;
}

QString model(int index) {
    DeviceIdentity identity;
    identity.modelIndex = index;
    identity.generation = UnitGeneration::kGen4;
    return QString::fromUtf8(modelDisplayName(identity).data());
}

class DiscoveryDialogTest : public WindowFixture {
  protected:
    // Presses "検索..." (opening the window first), which searches as the dialog opens; with a
    // `target`, searches again with it typed once that search has ended.
    DiscoveryDialog* search(const char* target = "", bool scripted = true) {
        if (!dialog) openWindow({"-T900"});
        if (scripted)
            dialog->setDiscoverySeam(
                {[s = script] { return std::make_unique<ScriptedSearch>(s); }, {}});
        click("SearchButton");
        found = dialog->discoveryDialog();
        if (found == nullptr || !found->isVisible()) return nullptr;
        if (*target == '\0') return found;
        if (!finished()) return nullptr;
        found->findChild<QLineEdit*>("TargetEdit")->setText(target);
        found->startSearch();
        return found;
    }
    bool finished() {
        return QTest::qWaitFor([this] { return !found->searching(); }, 10000);
    }
    QTreeView* list() { return found->findChild<QTreeView*>("UnitList"); }
    QModelIndex at(int row) { return list()->model()->index(row, 0); }
    // Row `index` as the list shows it, sorted by address.
    QStringList row(int index) {
        QStringList texts;
        for (int column = 0; column < 4; ++column)
            texts << list()->model()->index(index, column).data().toString();
        return texts;
    }

    std::shared_ptr<SearchScript> script = std::make_shared<SearchScript>();
    DiscoveryDialog* found = nullptr;
};

TEST_F(DiscoveryDialogTest, ListsUnitsOfTheAdaptersSubnetAndAChoiceFillsOnlyTheAddress) {
    script->units = {unitAt("127.0.2.3", 7, 19, true), unitAt("127.0.0.3", 2, 17, false),
                     unitAt("127.0.1.9", 0, 3, std::nullopt),
                     unitAt("127.0.0.4", 255, -1, std::nullopt, "通信エラー")};
    openWindow({"-T900"});
    control<QLineEdit>("PortEdit")->setText("10005");
    ASSERT_NE(search(), nullptr);
    EXPECT_EQ(found->windowTitle(), "ユニット検索");
    ASSERT_TRUE(finished());
    QApplication::processEvents();
    const fleet::DiscoveryPlan plan = script->plans.at(0);
    EXPECT_EQ(plan.localAddress, ipv4("127.0.0.2"));
    EXPECT_EQ(plan.broadcasts, std::vector<uint32_t>{ipv4("127.255.255.255")});
    EXPECT_TRUE(plan.ranges.empty());
    EXPECT_EQ(plan.tcpPort, 10005);
    EXPECT_EQ(plan.replyWindowMs, 900);
    ASSERT_EQ(found->unitCount(), 4);
    EXPECT_EQ(row(0), QStringList({"127.0.0.3", "2", model(17), "Non-active"}));
    EXPECT_EQ(row(1), QStringList({"127.0.0.4", "", "", "通信エラー"}));
    EXPECT_EQ(row(2), QStringList({"127.0.1.9", "0", model(3), "自動ON/OFF非対応"}));
    EXPECT_EQ(row(3), QStringList({"127.0.2.3", "7", model(19), "Active"}));

    // A double-click on a row, then OK with a row selected.
    const QRect last = list()->visualRect(at(3));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, last.center());
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, last.center());
    EXPECT_FALSE(found->isVisible());
    EXPECT_EQ(text("AddressEdit"), "127.0.2.3");
    ASSERT_NE(search(), nullptr);
    ASSERT_TRUE(finished());
    list()->setCurrentIndex(at(0));
    found->findChild<QPushButton*>("OkButton")->click();
    EXPECT_EQ(text("AddressEdit"), "127.0.0.3");
    EXPECT_EQ(text("PortEdit"), "10005");
    EXPECT_EQ(text("ConnectButton"), "Connect");
    EXPECT_FALSE(dialog->busy());
    EXPECT_TRUE(presenter.messages.empty());
}

TEST_F(DiscoveryDialogTest, TypedTargetsJoinTheSearchOrAreRefused) {
    for (const char* refused : {"plant-unit.example", "127.0.0.0/8", "127.0.0.300"}) {
        EXPECT_NE(search(refused), nullptr);
        EXPECT_FALSE(found->searching()) << refused;
        EXPECT_TRUE(found->findChild<QLabel*>("SearchStatus")->text().contains("入力してください"));
        found->reject();
    }
    control<QLineEdit>("PortEdit")->setText("70000");  // no port: the probe takes the usual one
    ASSERT_NE(search(" 127.0.0.9/30 "), nullptr);
    ASSERT_TRUE(finished());
    ASSERT_FALSE(script->plans.empty());
    EXPECT_EQ(script->plans.back().ranges.at(0).first, 0x7F000008u);
    EXPECT_EQ(script->plans.back().ranges.at(0).last, 0x7F00000Bu);
    EXPECT_EQ(script->plans.back().tcpPort, 10003);
}

TEST_F(DiscoveryDialogTest, CancelAndClosingTheWindowEndAHeldSearchPromptly) {
    script->hold = true;
    ASSERT_NE(search(), nullptr);
    QElapsedTimer closing;
    closing.start();
    found->findChild<QPushButton*>("CancelButton")->click();
    EXPECT_LT(closing.elapsed(), 2000);  // the search would have held for 30 s
    EXPECT_FALSE(found->searching());
    EXPECT_FALSE(found->isVisible());

    // Closing the window with many reports still queued for the search's dialog.
    script->progressReports = 20000;
    ASSERT_NE(search(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const std::lock_guard lock(script->mutex);
        return script->plans.size() == 2;
    }));
    closing.restart();
    dialog->reject();
    EXPECT_LT(closing.elapsed(), 2000);
    dialog.reset();
    QApplication::processEvents();
    EXPECT_EQ(script->runsEnded, 2);
}

TEST_F(DiscoveryDialogTest, SearchButtonOnlyWhileNeitherConnectedNorConnecting) {
    openWindow({"-T300"});
    sim::UnitFaults silent;
    silent.noUdpReply = true;
    startUnit(19, "_W", {}, silent);
    EXPECT_TRUE(enabled("SearchButton"));
    control<QLineEdit>("AddressEdit")->setText("127.0.0.1");
    click("ConnectButton");
    EXPECT_FALSE(enabled("SearchButton"));  // connecting
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(enabled("SearchButton"));
    startUnit(19, "_W");
    connectToUnit();
    ASSERT_TRUE(dialog->connected());
    EXPECT_FALSE(enabled("SearchButton"));
    click("ConnectButton");  // Disconnect
    EXPECT_TRUE(enabled("SearchButton"));
}

TEST_F(DiscoveryDialogTest, TheRealSearchFindsAUnitOnTheAdaptersSubnet) {
    // 127.0.0.2/8 broadcasts to 127.255.255.255, which only a unit bound to every address
    // receives; it answers from 127.0.0.1.
    sim::UnitConfig config = unitConfig(17, "_W");
    config.udpPort = config.tcpPort = 0;
    config.unitId = 5;
    config.initial.active = 1;
    unit = std::make_unique<sim::SimulatedUnit>(config);
    ASSERT_TRUE(unit->start(nullptr));
    openWindow();
    control<QLineEdit>("PortEdit")->setText(QString::number(unit->tcpPort()));
    dialog->setDiscoverySeam({{}, [port = unit->udpPort()](fleet::DiscoveryPlan& plan) {
                                  plan.identificationPort = port;
                                  plan.replyWindowMs = 200;
                              }});
    ASSERT_NE(search("", false), nullptr);
    ASSERT_TRUE(finished());
    ASSERT_EQ(found->unitCount(), 1);
    EXPECT_EQ(row(0), QStringList({"127.0.0.1", "5", model(17), "Active"}));
    for (const sim::ReceivedRecord& record : unit->received())
        EXPECT_EQ(record.sourceAddress, "127.0.0.2") << record.command;
}

TEST_F(DiscoveryDialogTest, EnterChoosesTheSelectedUnitAndOneWithoutAutomaticOnOffIsNeverChosen) {
    script->units = {unitAt("127.0.0.3", 2, 17, false), unitAt("127.0.1.9", 0, 3, std::nullopt)};
    ASSERT_NE(search(), nullptr);
    ASSERT_TRUE(finished());
    found->model().setAllChecked(true);
    EXPECT_EQ(found->model().checkedRows().size(), 1u);  // not the unit without ON/OFF
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(at(1)).center());
    EXPECT_TRUE(found->isVisible());
    found->resize(700, 500);
    list()->setCurrentIndex(at(0));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_FALSE(found->isVisible());
    EXPECT_EQ(text("AddressEdit"), "127.0.0.3");
    ASSERT_NE(search(), nullptr);
    EXPECT_EQ(found->size(), QSize(700, 500));  // as the operator left it
}

TEST_F(DiscoveryDialogTest, ASavedListIsAHostsFileAndReadingItAsksItsUnitsDirectly) {
    QTemporaryDir dir;
    const QString path = dir.filePath("units.txt");
    script->units = {unitAt("127.0.0.3", 2, 17, false), unitAt("127.0.0.4", 5, 19, true)};
    openWindow({"-T900"});
    ASSERT_NE(search(), nullptr);
    ASSERT_TRUE(finished());
    found->setHostsFileChooser([&path](bool) { return path; });
    ASSERT_TRUE(found->saveList());
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), "127.0.0.3  # unit 2, " + model(17).toStdString() +
                                                 "\n127.0.0.4  # unit 5, " +
                                                 model(19).toStdString() + "\n");
    saved.close();

    script->units.pop_back();  // 127.0.0.4 no longer answers
    ASSERT_TRUE(found->loadList());
    ASSERT_TRUE(finished());
    const fleet::DiscoveryPlan plan = script->plans.back();
    EXPECT_TRUE(plan.broadcasts.empty());
    ASSERT_EQ(plan.ranges.size(), 2u);
    EXPECT_EQ(plan.ranges[1].first, 0x7F000004u);
    EXPECT_EQ(plan.ranges[1].last, 0x7F000004u);
    EXPECT_EQ(row(1), QStringList({"127.0.0.4", "", "", "応答がありません"}));

    const PlantFileReading named = parsePlantHosts("# plant\n127.0.0.3\n  unit-7.plant  # x\n");
    EXPECT_TRUE(named.addresses.empty());
    EXPECT_EQ(named.error, "3 行目の「unit-7.plant」は IP アドレスではありません。");
}

}  // namespace
}  // namespace mervane::testing
