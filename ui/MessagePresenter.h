#pragma once

#include <QString>

class QWidget;

namespace mervane {

// Shows the program's message boxes. The window asks through this seam so that tests can answer
// them without an operator.
//
// Called on the window thread only. Both calls return when the operator has answered.
class MessagePresenter {
  public:
    virtual ~MessagePresenter() = default;

    // A modal message box owned by `owner`, captioned `caption`, with an OK button and no icon.
    virtual void showMessage(QWidget* owner, const QString& caption, const QString& text) = 0;
    // The same with Yes and No; true for Yes. Closing the box answers No.
    virtual bool askYesNo(QWidget* owner, const QString& caption, const QString& text) = 0;
};

// The real thing: QMessageBox.
class MessageBoxPresenter final : public MessagePresenter {
  public:
    void showMessage(QWidget* owner, const QString& caption, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& caption, const QString& text) override;
};

}  // namespace mervane
