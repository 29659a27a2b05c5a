#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "sim/SimulatedUnit.h"
#include "tests/net/FakeAdapterSource.h"
#include "ui/MervaneDlg.h"
#include "ui/MessagePresenter.h"

namespace mervane::testing {

// Answers the window's message boxes instead of an operator and keeps what they said.
class ScriptedPresenter final : public MessagePresenter {
  public:
    void showMessage(QWidget* owner, const QString& caption, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& caption, const QString& text) override;

    std::vector<std::string> messages;   // texts of the OK boxes, in order
    std::vector<std::string> questions;  // texts of the Yes/No boxes, in order
    std::vector<std::string> captions;   // every box's caption
    bool answerYes = false;
    bool ownedByWindow = true;  // false once a box had another owner than the window
    QWidget* expectedOwner = nullptr;
};

// A window on a made-up machine whose one adapter is 127.0.0.2 (so it reaches a simulated unit on
// loopback), with its message boxes answered by a ScriptedPresenter.
class WindowFixture : public ::testing::Test {
  protected:
    WindowFixture();
    ~WindowFixture() override;

    // Creates, initialises and shows the window.
    void openWindow(std::vector<std::string> arguments = {});
    // Starts a unit of `modelIndex` with type code `type` and points the link at it.
    sim::SimulatedUnit& startUnit(int modelIndex, const char (&type)[3],
                                  sim::UnitSettingsState initial = {}, sim::UnitFaults faults = {},
                                  int sessionTimeoutMs = 2000);
    // Types the unit's address and port and presses Connect; waits until the attempt ends.
    void connectToUnit();
    // Processes window events until no connection attempt or exchange runs (at most `ms`).
    bool waitUntilIdle(int ms = 20000);
    void click(const char* buttonName);

    template <typename Control>
    Control* control(const char* name) {
        auto* found = dialog->findChild<Control*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QWidget* widget(const std::string& name) { return control<QWidget>(name.c_str()); }
    bool shown(const std::string& name) { return widget(name)->isVisibleTo(dialog.get()); }
    bool enabled(const std::string& name) { return widget(name)->isEnabled(); }
    QString text(const char* name);

    DeviceLink link;
    FakeAdapterSource adapters;
    ScriptedPresenter presenter;
    std::unique_ptr<sim::SimulatedUnit> unit;
    std::unique_ptr<CMervaneDlg> dialog;
};

// The seven controls of row `row` (1..8), in the form's names.
std::vector<std::string> rowControls(int row);
std::vector<std::string> rowTimeControls(int row);  // the six without the check box

}  // namespace mervane::testing
