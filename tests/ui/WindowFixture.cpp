#include "tests/ui/WindowFixture.h"

#include <QApplication>
#include <QTest>

#include "tests/LoopbackUnit.h"

namespace mervane::testing {

void ScriptedPresenter::showMessage(QWidget* owner, const QString& caption, const QString& text) {
    ownedByWindow = ownedByWindow && owner == expectedOwner;
    captions.push_back(caption.toStdString());
    messages.push_back(text.toStdString());
}

bool ScriptedPresenter::askYesNo(QWidget* owner, const QString& caption, const QString& text) {
    ownedByWindow = ownedByWindow && owner == expectedOwner;
    captions.push_back(caption.toStdString());
    questions.push_back(text.toStdString());
    return answerYes;
}

WindowFixture::WindowFixture() {
    adapters.interfaceList = {loopback(1), ethernet(7, "test0")};
    adapters.addressRows = {addressRow("127.0.0.1", 1, "255.0.0.0"),
                            addressRow("127.0.0.2", 7, "255.0.0.0")};
}

WindowFixture::~WindowFixture() {
    if (dialog) dialog->done(QDialog::Rejected);
    dialog.reset();
}

void WindowFixture::openWindow(std::vector<std::string> arguments) {
    dialog =
        std::make_unique<CMervaneDlg>(link, adapters, presenter, std::move(arguments), "mervane");
    presenter.expectedOwner = dialog.get();
    ASSERT_TRUE(dialog->initDialog());
    dialog->show();
}

sim::SimulatedUnit& WindowFixture::startUnit(int modelIndex, const char (&type)[3],
                                             sim::UnitSettingsState initial, sim::UnitFaults faults,
                                             int sessionTimeoutMs) {
    sim::UnitConfig config = unitConfig(modelIndex, type, faults);
    config.initial = initial;
    unit = startLoopbackUnit(config);
    aimLinkAt(link, *unit, sessionTimeoutMs);
    return *unit;
}

void WindowFixture::connectToUnit() {
    control<QLineEdit>("AddressEdit")->setText("127.0.0.1");
    control<QLineEdit>("PortEdit")->setText(QString::number(unit->tcpPort()));
    click("ConnectButton");
    ASSERT_TRUE(waitUntilIdle());
}

bool WindowFixture::waitUntilIdle(int ms) {
    const bool idle = QTest::qWaitFor([this] { return !dialog->busy(); }, ms);
    QApplication::processEvents();
    return idle;
}

void WindowFixture::click(const char* buttonName) {
    control<QPushButton>(buttonName)->click();
}

QString WindowFixture::text(const char* name) {
    if (auto* label = dialog->findChild<QLabel*>(name)) return label->text();
    if (auto* edit = dialog->findChild<QLineEdit*>(name)) return edit->text();
    if (auto* button = dialog->findChild<QAbstractButton*>(name)) return button->text();
    ADD_FAILURE() << name << " has no text";
    return {};
}

std::vector<std::string> rowTimeControls(int row) {
    const std::string n = std::to_string(row);
    return {"OnLabel" + n,  "OnTimeEdit" + n,  "OnUnitLabel" + n,
            "OffLabel" + n, "OffTimeEdit" + n, "OffUnitLabel" + n};
}

std::vector<std::string> rowControls(int row) {
    std::vector<std::string> names = rowTimeControls(row);
    names.insert(names.begin(), "EnableCheck" + std::to_string(row));
    return names;
}

}  // namespace mervane::testing
