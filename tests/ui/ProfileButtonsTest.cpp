// 保存... and 読込... against the simulated unit: the file holds the panel, a profile fills the
// panel and nothing else, and every refused file is one message that changes nothing.

#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>

#include "fleet/Profile.h"
#include "tests/ui/WindowFixture.h"

namespace mervane::testing {
namespace {

using Strings = std::vector<std::string>;

class ProfileButtonsTest : public WindowFixture {
  protected:
    // The operator picks `name` in the test's folder; `text`, when given, is put there first.
    void pick(const char* name, const char* text = nullptr) {
        answer = folder.filePath(name);
        QFile file(answer);
        ASSERT_TRUE(!text || (file.open(QIODevice::WriteOnly) && file.write(text) > 0));
    }
    // Fields a profile sets or leaves: DO1's ON time, DO2's and DO3's OFF times, DO4's box.
    std::string panel() {
        return (text("OnTimeEdit1") + text("OffTimeEdit2") + text("OffTimeEdit3")).toStdString() +
               (control<QCheckBox>("EnableCheck4")->isChecked() ? "x" : "-");
    }
    int buttonsOn() { return enabled("SaveProfileButton") + enabled("LoadProfileButton"); }

    QTemporaryDir folder;
    QString answer;
    Strings offered;  // what the window suggested each time it asked for a file
};

TEST_F(ProfileButtonsTest, FilesHoldThePanelAndNeverReachTheUnit) {
    openWindow();
    dialog->setProfilePathChooser([this](QWidget&, ProfileFileAction, const QString& suggested) {
        offered.push_back(suggested.toStdString());
        return answer;
    });
    EXPECT_EQ(buttonsOn(), 0);
    startUnit(17, "_W", {.enableMask = 0x01, .onTime = {5, 5, 5, 5}, .offTime = {6, 6, 6, 6}});
    connectToUnit();
    ASSERT_EQ(buttonsOn(), 2) << ::testing::PrintToString(presenter.messages);
    unit->clearReceived();
    const std::string held = fleet::profileJson(link.settings(), link.identity());

    // Saved: the panel's edits, checked as 設定反映 checks them.
    control<QCheckBox>("EnableCheck2")->setChecked(true);
    control<QLineEdit>("OffTimeEdit3")->setText("34");
    pick("saved.json");
    click("SaveProfileButton");
    QFile saved(answer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(),
              R"({"active":false,"enableMask":3,"generation":4,"model":"KX-M17",)"
              R"("offTime":[6,6,34,6],"onTime":[5,5,5,5],"outputs":4,"unitId":0})"
              "\n");
    control<QLineEdit>("OnTimeEdit4")->setText("0");
    click("SaveProfileButton");  // refused before a file is asked for
    control<QLineEdit>("OnTimeEdit4")->setText("5");
    pick("no-such-folder/unit.json");
    click("SaveProfileButton");
    EXPECT_EQ(presenter.messages, (Strings{kTimeRangeMessage, "プロファイルを保存できません。\n" +
                                                                  answer.toStdString()}));
    // Two files asked for, the second in the folder just used, named for the unit and its address.
    EXPECT_EQ(offered,
              (Strings{offered.at(0), folder.filePath("unit0-127.0.0.1.json").toStdString()}));

    // Loaded onto the link's settings (DO3's 34 was an edit), not onto the unit.
    pick("other.json", R"({"active": true, "enableMask": 9, "onTime": [7, 8], "offTime": [1, 2]})");
    click("LoadProfileButton");
    EXPECT_EQ(panel(), "726x");
    EXPECT_EQ(text("StatusText"), "Non-active");

    const std::string misfit = "このユニットに合わないプロファイルです。\n";
    const std::string unreadable = "プロファイルを読み込めません。\n";
    const struct {
        const char *file, *text;  // no text: no file
        const std::string& lead;
        std::string reason;
    } refused[] = {
        {"five.json", R"({"active": false, "enableMask": 31, "onTime": [1], "offTime": [1]})",
         misfit, "DO5 はこのユニットにありません (DO1..DO4)"},
        {"interval.json", R"({"active": false, "enableMask": 1, "intervalMs": 1000})", misfit,
         "このユニットは端子ごとの時間を使います"},
        {"broken.json", "{\"active\": true,\n  \"enableMask\": }", unreadable,
         "JSON の書式に誤りがあります (行 2, 列 17)"},
        {"absent.json", nullptr, unreadable, "ファイルを開けません"},
    };
    for (const auto& file : refused) {
        presenter.messages.clear();
        pick(file.file, file.text);
        click("LoadProfileButton");
        EXPECT_EQ(presenter.messages,
                  Strings{file.lead + answer.toStdString() + "\n" + file.reason});
        EXPECT_EQ(panel(), "726x") << file.file;
    }
    EXPECT_TRUE(unit->received().empty());
    EXPECT_EQ(fleet::profileJson(link.settings(), link.identity()), held);
    click("ConnectButton");
    EXPECT_EQ(buttonsOn(), 0);
}

}  // namespace
}  // namespace mervane::testing
