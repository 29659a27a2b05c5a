// The plant list against a simulated plant of 20 units of mixed kinds on loopback: what an apply
// writes, checks and reports for each unit, how misbehaving units fail alone, what a cancel leaves
// behind, and the one question about one-shot settings.

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/SimulatedPlant.h"
#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"
#include "ui/DiscoveryDialog.h"

namespace mervane::testing {
namespace {

constexpr int kUnits = 20;

bool hasNoAutoOnOff(int i) {
    return i % 6 == 5;  // the variety's model without automatic ON/OFF
}

bool isGen4(int i) {
    return sim::kVarietyCycle[static_cast<size_t>(i) % sim::kVarietyCycle.size()].typeCode[1] ==
               'W' &&
           !hasNoAutoOnOff(i);
}

sim::UnitSettingsState oldSettings() {
    sim::UnitSettingsState state;
    state.enableMask = 0x01;
    state.intervalIndex = 4;
    state.onTime.fill(5);
    state.offTime.fill(5);
    return state;
}

// What the profile writes: DO1 and DO2 with times of their own, the cycle running.
bool holdsProfile(const sim::UnitSettingsState& s) {
    return s.active == 1 && s.enableMask == 0x03 && s.onTime[0] == 2 && s.offTime[0] == 4 &&
           s.onTime[1] == 3 && s.offTime[1] == 6;
}

bool holdsOld(const sim::UnitSettingsState& s) {
    const sim::UnitSettingsState old = oldSettings();
    return s.active == 0 && s.enableMask == old.enableMask && s.onTime == old.onTime &&
           s.offTime == old.offTime;
}

class PlantListTest : public WindowFixture {
  protected:
    PlantListTest() : units(30718, 10003) {
        QFile profile(dir.filePath("plant.json"));
        profile.open(QIODevice::WriteOnly);
        profile.write(R"({"active": true, "enableMask": 3, "onTime": [2, 3], "offTime": [4, 6]})");
    }

    // Starts the plant on 127.0.NET.1 on (each test a NET of its own, since the tests may run at
    // once), opens the window and the plant list, and waits for its search of the plant to end.
    DiscoveryDialog* openPlantList(uint32_t net) {
        first = 0x7F000001u | net << 8;
        for (int i = 0; i < kUnits; ++i) {
            const sim::UnitKind& kind = sim::kVarietyCycle[static_cast<size_t>(i) % 6];
            sim::UnitConfig config;
            config.typeCode = kind.typeCode;
            config.modelIndex = kind.modelIndex;
            config.unitId = i % 16;
            config.initial = oldSettings();
            units.add("127.0." + std::to_string(net) + "." + std::to_string(i + 1), config);
        }
        openWindow({"-T300"});
        dialog->setDiscoverySeam({{}, [this](fleet::DiscoveryPlan& plan) {
                                      plan.broadcasts.clear();
                                      plan.ranges = {{first, first + kUnits - 1}};
                                      plan.replyWindowMs = 300;
                                  }});
        PlantActionSeams seams;
        seams.ask = [this](const QString& question) {
            questions.push_back(question);
            return answerYes;
        };
        seams.tell = [this](const QString& text) { told.push_back(text); };
        seams.chooseProfile = [this] { return dir.filePath("plant.json"); };
        seams.prepareLink = [](DeviceLink& unitLink) { unitLink.setSessionTimeoutMs(400); };
        seams.jobs = jobs;
        dialog->setPlantActionSeams(seams);
        click("SearchButton");
        plant = dialog->discoveryDialog();
        if (plant == nullptr) return nullptr;
        if (!QTest::qWaitFor([this] { return !plant->searching(); }, 10000)) return nullptr;
        EXPECT_EQ(plant->unitCount(), kUnits);
        return plant;
    }
    // Presses one of the plant list's buttons and waits for its action to end.
    bool press(const char* name) {
        plant->findChild<QPushButton*>(name)->click();
        return QTest::qWaitFor([this] { return !plant->actions().running(); }, 30000);
    }
    int row(int i) { return plant->model().rowOfAddress(first + static_cast<uint32_t>(i)); }
    QString result(int i) { return plant->model().resultText(row(i)); }
    QString summary() { return plant->findChild<QLabel*>("SearchStatus")->text(); }

    QTemporaryDir dir;
    SharedPortUnits units;
    uint32_t first = 0;
    int jobs = 16;
    bool answerYes = true;
    std::vector<QString> questions;
    std::vector<QString> told;
    DiscoveryDialog* plant = nullptr;
};

TEST_F(PlantListTest, ApplyVerifiesEveryFittingUnitAndEachMisbehavingOneFailsAlone) {
    ASSERT_NE(openPlantList(84), nullptr);
    ASSERT_EQ(plant->unitCount(), kUnits);
    // Silent, refusing the session, dropping a write, chattering: from now on, not in the search.
    sim::UnitFaults silent, refusing, dropping, chattering;
    silent.noUdpReply = true;
    refusing.resetOnRequest = true;
    dropping.silentCommand = "OT";
    chattering.chatter = true;
    units[0].setFaults(silent);
    units[6].setFaults(refusing);
    units[12].setFaults(dropping);
    units[18].setFaults(chattering);

    plant->findChild<QPushButton*>("CheckAllButton")->click();
    EXPECT_EQ(plant->model().checkedRows().size(), 17u);  // not the three without ON/OFF
    ASSERT_TRUE(press("ApplyProfileButton"));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "17 台のユニットに書き込みます。よろしいですか?");
    EXPECT_EQ(result(0), "失敗: 通信エラー");
    EXPECT_EQ(result(6), "失敗: 通信エラー");
    EXPECT_EQ(result(12), "失敗: 設定反映通信エラー。");
    EXPECT_TRUE(result(18).startsWith("失敗: ")) << result(18).toStdString();
    for (int i = 0; i < kUnits; ++i) {
        const QString text = result(i);
        if (hasNoAutoOnOff(i)) {
            EXPECT_TRUE(text.isEmpty()) << i;
            EXPECT_FALSE(plant->model().usable(row(i)));
        } else if (!isGen4(i)) {
            EXPECT_TRUE(text.startsWith("適合しません: ")) << i << text.toStdString();
            EXPECT_TRUE(holdsOld(units[static_cast<size_t>(i)].settings())) << i;
        } else if (i % 6 != 0) {
            EXPECT_EQ(text, "検証済み") << i;
            EXPECT_TRUE(holdsProfile(units[static_cast<size_t>(i)].settings())) << i;
        }
    }
    EXPECT_TRUE(holdsOld(units[0].settings()));
    EXPECT_EQ(summary(), "成功 6 台、失敗 11 台、未実行 0 台");

    // The failed units, ticked in one step, are retried once their faults are gone; the units
    // that already hold the profile are only read.
    plant->findChild<QPushButton*>("CheckFailedButton")->click();
    EXPECT_EQ(plant->model().checkedRows().size(), 11u);
    for (const int i : {0, 6, 12, 18})
        units[static_cast<size_t>(i)].setFaults({});
    plant->findChild<QPushButton*>("CheckAllButton")->click();
    for (size_t i = 0; i < units.size(); ++i)
        units[i].clearReceived();
    ASSERT_TRUE(press("ApplyProfileButton"));
    for (const int i : {0, 6, 12, 18})
        EXPECT_EQ(result(i), "検証済み") << i;
    const std::vector<std::string> writtenNothing = tcpCommands(units[2]);
    EXPECT_EQ(result(2), "変更なし");
    units[2].clearReceived();
    plant->findChild<QPushButton*>("UncheckAllButton")->click();
    plant->model().setData(plant->model().index(row(2), 0), Qt::Checked, Qt::CheckStateRole);
    ASSERT_TRUE(press("ReadUnitsButton"));
    EXPECT_EQ(tcpCommands(units[2]), writtenNothing);  // nothing beyond the read
    EXPECT_EQ(result(2), "完了");
    EXPECT_TRUE(told.empty());
}

TEST_F(PlantListTest, CancelLeavesEveryUnitWhollyOldOrWhollyNew) {
    jobs = 2;
    ASSERT_NE(openPlantList(79), nullptr);
    sim::UnitFaults slow;
    slow.replyDelayMs = 15;
    for (size_t i = 0; i < units.size(); ++i)
        units[i].setFaults(slow);
    plant->findChild<QPushButton*>("CheckAllButton")->click();
    plant->findChild<QPushButton*>("ApplyProfileButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([this] {
        return plant->model().rowState(row(2)) != PlantRowState::kWaiting ||
               plant->model().rowState(row(4)) != PlantRowState::kWaiting;
    }));
    plant->reject();  // Esc: the action stops, the list stays
    ASSERT_TRUE(QTest::qWaitFor([this] { return !plant->actions().running(); }, 30000));
    EXPECT_TRUE(plant->isVisible());
    int written = 0;
    int notStarted = 0;
    for (int i = 0; i < kUnits; ++i) {
        if (!isGen4(i)) continue;
        const sim::UnitSettingsState held = units[static_cast<size_t>(i)].settings();
        EXPECT_TRUE(holdsOld(held) || holdsProfile(held)) << i;
        written += holdsProfile(held) ? 1 : 0;
        if (result(i) == "未実行") {
            ++notStarted;
            EXPECT_TRUE(holdsOld(held)) << i;
        }
    }
    EXPECT_GT(written, 0);
    EXPECT_GT(notStarted, 0);
    EXPECT_TRUE(summary().startsWith("中止しました。")) << summary().toStdString();
}

TEST_F(PlantListTest, TheOneShotQuestionIsAskedOnceForAllUnitsHoldingThem) {
    ASSERT_NE(openPlantList(78), nullptr);
    for (const size_t i : {2u, 4u}) {
        sim::UnitSettingsState held = units[i].settings();
        held.oneShot[0] = 3;
        units[i].setSettings(held);
    }
    for (const int i : {2, 4, 8}) {
        plant->model().setData(plant->model().index(row(i), 0), Qt::Checked, Qt::CheckStateRole);
    }
    ASSERT_EQ(plant->model().checkedRows().size(), 3u);
    answerYes = false;
    ASSERT_TRUE(press("ReadUnitsButton"));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(questions[0].startsWith("2 台のユニットに")) << questions[0].toStdString();
    EXPECT_EQ(result(2), "未実行: ワンショット出力設定を解除しませんでした");
    EXPECT_EQ(result(8), "完了");
    EXPECT_EQ(units[2].settings().oneShot[0], 3);

    answerYes = true;
    ASSERT_TRUE(press("ReadUnitsButton"));
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(result(2), "完了");
    EXPECT_EQ(result(4), "完了");
    EXPECT_EQ(units[4].settings().oneShot[0], 0);
    EXPECT_EQ(plant->model().data(plant->model().index(row(8), kPlantMaskColumn), Qt::DisplayRole),
              "0x01");
}

}  // namespace
}  // namespace mervane::testing
