#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace mervane {

// Asks the operator where to save the log: `suggested` is a folder and a file name. Returns the
// chosen path, empty when the operator cancelled. By default the file dialog, a stand-in in tests.
using TraceLogPathChooser = std::function<QString(QWidget& owner, const QString& suggested)>;

// The "通信ログ" window: a window of its own beside the main dialog, showing one line per step the
// link took on the wire, the newest last, and following it unless the operator scrolled away.
// It keeps the last kMaxLines lines, dropping the oldest.
// "保存..." writes the shown lines to a text file (UTF-8, one a line); "クリア" empties the view
// and says so (cleared), so that the times start at 0 again.
//
// It never learns of the link: lines are handed to it (appendLine) on the window thread. Closing
// it is reported (closedByOperator) rather than acted on.
class TraceLogWindow final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMaxLines = 10000;
    using Report = std::function<void(const QString& text)>;

    // A separate top-level window owned by `owner`, which it is placed beside when shown.
    // Failures are told through `report`, one message each.
    TraceLogWindow(QWidget& owner, Report report);

    void setPathChooser(TraceLogPathChooser chooser) { chooser_ = std::move(chooser); }
    void appendLine(const QString& line);
    QStringList lines() const;
    // Shows the window beside its owner and raises it: on the right, or on the left where only
    // the left has room for a whole line.
    void showBesideOwner();

  signals:
    void cleared();
    void closedByOperator();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void placeBesideOwner();
    void showNewest();
    void onSave();
    void onClear();

    QWidget& owner_;
    Report report_;
    TraceLogPathChooser chooser_;
    QPlainTextEdit* view_;
    QPushButton* saveButton_;
    QPushButton* clearButton_;
    int wholeLineWidth_ = 0;  // of the window, for a request of the longest kind
    bool placed_ = false;
    bool following_ = true;  // false while the operator keeps older lines in view
};

}  // namespace mervane
