// The window in the language the locale asks for: English throughout, numbers and codes kept,
// and the Japanese window untouched under the C locale.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>

#include "link/OperatorMessages.h"
#include "sim/SimulatedPlant.h"
#include "tests/LoopbackUnit.h"
#include "tests/ui/WindowFixture.h"
#include "ui/DiscoveryDialog.h"
#include "ui/OperatorMessageTexts.h"
#include "ui/PlantActions.h"
#include "ui/PlantTexts.h"
#include "ui/TraceLogWindow.h"
#include "ui/WindowLanguage.h"
#include "ui/WindowTranslation.h"

namespace mervane::testing {
namespace {

bool isJapanese(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x3000 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) ||
           (u >= 0xFF00 && u <= 0xFFEF);
}

bool hasJapanese(const QString& text) {
    return std::any_of(text.begin(), text.end(), isJapanese);
}

// What an operator can read in `window`: its title, and every shown control's text, title,
// placeholder, list item and heading.
QStringList visibleTexts(const QWidget& window) {
    QStringList texts{window.windowTitle()};
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window)) continue;
        if (auto* label = qobject_cast<const QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<const QAbstractButton*>(w)) texts << button->text();
        if (auto* group = qobject_cast<const QGroupBox*>(w)) texts << group->title();
        if (auto* edit = qobject_cast<const QLineEdit*>(w)) texts << edit->placeholderText();
        if (auto* bar = qobject_cast<const QProgressBar*>(w)) texts << bar->text();
        if (auto* combo = qobject_cast<const QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        }
        if (auto* view = qobject_cast<const QAbstractItemView*>(w)) {
            const QAbstractItemModel& model = *view->model();
            for (int c = 0; c < model.columnCount(); ++c) {
                texts << model.headerData(c, Qt::Horizontal).toString();
                for (int r = 0; r < model.rowCount(); ++r)
                    texts << model.data(model.index(r, c)).toString();
            }
        }
    }
    return texts;
}

using Texts = std::vector<std::string>;

Texts japaneseIn(const QStringList& texts) {
    Texts found;
    for (const QString& t : texts) {
        if (hasJapanese(t)) found.push_back(t.toStdString());
    }
    return found;
}

// Every entry of the English translation as the window finds it: free of Japanese, with the
// source's placeholders.
TEST(WindowLanguageTest, EveryEnglishTextIsFinishedAndKeepsItsPlaceholders) {
    const WindowTranslation english(WindowLanguage::kEnglish);
    ASSERT_TRUE(english.complete());
    QFile ts(QStringLiteral(MERVANE_ENGLISH_TS));
    ASSERT_TRUE(ts.open(QIODevice::ReadOnly)) << MERVANE_ENGLISH_TS;
    QXmlStreamReader xml(&ts);
    QByteArray context;
    int entries = 0;
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    const auto placeholders = [&placeholder](const QString& text) {
        QStringList found;
        for (const auto& m : placeholder.globalMatch(text))
            found << m.captured();
        found.sort();
        return found;
    };
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"name") context = xml.readElementText().toUtf8();
        if (xml.name() != u"source") continue;
        const QString source = xml.readElementText();
        const QString shown =
            QCoreApplication::translate(context.constData(), source.toUtf8().constData());
        ++entries;
        EXPECT_FALSE(hasJapanese(shown)) << context.constData() << ": " << source.toStdString();
        EXPECT_EQ(placeholders(shown), placeholders(source)) << source.toStdString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(entries, 100);
}

TEST(WindowLanguageTest, TheLinksTextsKeepTheirNumbersAndCodesInEnglish) {
    const WindowTranslation english(WindowLanguage::kEnglish);
    for (const char* text : kOperatorTexts)
        EXPECT_TRUE(hasOperatorMessageText(text)) << text;
    EXPECT_EQ(operatorMessageText("設定取得通信エラー: 1-10060"), "Settings read failed: 1-10060");
    EXPECT_EQ(operatorMessageText("接続エラー: S10061"), "Connection failed: S10061");
    EXPECT_EQ(operatorMessageText("設定取得通信エラー: O-1"), "Settings read failed: O-1");
    EXPECT_EQ(operatorMessageText("通信エラー"), "Communication error");
    // Not a number where the link puts one, and texts of the run itself: shown as they stand.
    EXPECT_EQ(operatorMessageText("設定取得通信エラー: 1-"), "設定取得通信エラー: 1-");
    EXPECT_EQ(operatorMessageText("設定取得通信エラー: 1-10060x"), "設定取得通信エラー: 1-10060x");
    EXPECT_EQ(operatorMessageText("verify: DO3 OFF time: wrote 10, read 12"),
              "verify: DO3 OFF time: wrote 10, read 12");
}

class LanguageWindowTest : public WindowFixture {
  protected:
    LanguageWindowTest() : plantUnits(30718, 10003) {}

    // The plant list over three units on 127.0.72.x, found and read, with a question asked
    // (answered No) and its summary shown.
    DiscoveryDialog* openReadPlantList() {
        const uint32_t first = 0x7F004801u;  // 127.0.72.1
        for (int i = 0; i < 3; ++i) {
            const sim::UnitKind& kind = sim::kVarietyCycle[static_cast<size_t>(i) * 2];
            sim::UnitConfig config;
            config.typeCode = kind.typeCode;
            config.modelIndex = kind.modelIndex;
            plantUnits.add("127.0.72." + std::to_string(i + 1), config);
        }
        dialog->setDiscoverySeam({{}, [first](fleet::DiscoveryPlan& plan) {
                                      plan.broadcasts.clear();
                                      plan.ranges = {{first, first + 3}};
                                      plan.replyWindowMs = 300;
                                  }});
        PlantActionSeams seams;
        seams.ask = [this](const QString& question) {
            plantQuestions.push_back(question.toStdString());
            return false;
        };
        seams.tell = [this](const QString& text) { plantQuestions.push_back(text.toStdString()); };
        seams.chooseProfile = [] { return QString(); };
        seams.prepareLink = [](DeviceLink& unitLink) { unitLink.setSessionTimeoutMs(400); };
        dialog->setPlantActionSeams(seams);
        control<QLineEdit>("PortEdit")->setText("10003");  // the plant's, not the last unit's
        click("SearchButton");
        DiscoveryDialog* plant = dialog->discoveryDialog();
        if (plant == nullptr || !QTest::qWaitFor([plant] { return !plant->searching(); }, 10000))
            return nullptr;
        const auto press = [plant](const char* name) {
            plant->findChild<QPushButton*>(name)->click();
            return QTest::qWaitFor([plant] { return !plant->actions().running(); }, 10000);
        };
        if (!press("CheckAllButton") || !press("ReadUnitsButton") || !press("StartUnitsButton"))
            return nullptr;
        return plant;
    }

    // Where the window's form puts each control ("ApplyButton 480,... 100x28"), in the language
    // installed now.
    std::vector<std::string> formGeometry() {
        CMervaneDlg form(link, adapters, presenter, {}, "mervane");
        EXPECT_TRUE(form.initDialog());
        std::vector<std::string> placed{std::to_string(form.width()) + "x" +
                                        std::to_string(form.height())};
        for (const QWidget* w : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect g = w->geometry();
            placed.push_back(w->objectName().toStdString() + " " + std::to_string(g.x()) + "," +
                             std::to_string(g.y()) + " " + std::to_string(g.width()) + "x" +
                             std::to_string(g.height()));
        }
        return placed;
    }

    // Disconnects, and connects to a unit that does not identify itself: the connect fails.
    void disconnectAndFailAConnect() {
        click("ConnectButton");
        ASSERT_TRUE(waitUntilIdle());
        sim::UnitFaults silent;
        silent.noUdpReply = true;
        startUnit(19, "_W", {}, silent);
        connectToUnit();
    }

    SharedPortUnits plantUnits;
    Texts plantQuestions;
};

TEST_F(LanguageWindowTest, EnglishShowsNoJapaneseInTheWindowItsDialogsOrItsMessages) {
    const auto japaneseForm = formGeometry();
    const WindowTranslation english(WindowLanguage::kEnglish);
    openWindow({"-T300"});
    // No control moves or grows for its English text.
    EXPECT_EQ(formGeometry(), japaneseForm);
    QStringList seen = visibleTexts(*dialog);
    EXPECT_EQ(text("ReceiveButton"), "Read");

    // A unit of generation 4 (its rows and times), a refused apply, the traffic log.
    startUnit(19, "_W");
    connectToUnit();
    seen << visibleTexts(*dialog);
    control<QLineEdit>("OnTimeEdit1")->setText("0");
    click("ApplyButton");
    ASSERT_TRUE(waitUntilIdle());
    click("TraceButton");
    seen << visibleTexts(*dialog->findChild<TraceLogWindow*>("TraceLogWindow"));
    click("ConnectButton");
    ASSERT_TRUE(waitUntilIdle());

    // A unit of generation 3 (its interval), then one that has gone: the connect fails.
    startUnit(3, "_L");
    connectToUnit();
    seen << visibleTexts(*dialog);
    EXPECT_EQ(text("ConnectButton"), "Disconnect");
    disconnectAndFailAConnect();
    seen << visibleTexts(*dialog);

    DiscoveryDialog* plant = openReadPlantList();
    ASSERT_NE(plant, nullptr);
    seen << visibleTexts(*plant);

    for (const std::string& told : presenter.messages)
        seen << QString::fromStdString(told);
    for (const std::string& asked : plantQuestions)
        seen << QString::fromStdString(asked);
    EXPECT_EQ(japaneseIn(seen), Texts());
    EXPECT_EQ(presenter.messages,
              (Texts{"Enter a value between 1 and 255.", "Communication error"}));
    // Start's question, with the plural English needs.
    EXPECT_EQ(plantQuestions, Texts{"Write to 3 units?"});
    EXPECT_EQ(plantWriteQuestion(1), "Write to 1 unit?");
}

TEST_F(LanguageWindowTest, TheCLocaleShowsTheJapaneseTextsAsAlways) {
    const WindowTranslation asAlways(WindowLanguage::kCLocale);
    EXPECT_EQ(operatorMessageText("設定取得通信エラー: 1-10060"), "設定取得通信エラー: 1-10060");
    openWindow({"-T300"});
    EXPECT_EQ(text("ReceiveButton"), "設定受信");
    EXPECT_EQ(text("SearchButton"), "検索...");
    EXPECT_EQ(text("ConnectButton"), "Connect");
    startUnit(3, "_L");
    connectToUnit();
    EXPECT_EQ(text("IntervalLabel"), "間隔");
    EXPECT_EQ(text("StatusText"), "Non-active");
    disconnectAndFailAConnect();
    EXPECT_EQ(presenter.messages, Texts{"通信エラー"});
}

}  // namespace
}  // namespace mervane::testing
