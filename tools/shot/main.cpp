// mervane-shot: renders the real window, connected to a unit, or its plant list after a read of
// every unit it found, into a PNG, and checks that every text in it fits its control. Run it on a
// real display server (Xvfb will do) so that the fonts and the rendering are those an operator
// gets.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "link/DeviceLink.h"
#include "net/LinuxAdapterSource.h"
#include "ui/DiscoveryDialog.h"
#include "ui/MervaneDlg.h"
#include "ui/MessagePresenter.h"
#include "ui/ProgramSettings.h"
#include "ui/WindowTranslation.h"

namespace {

// Prints what a message box would show, and answers No.
class PrintingPresenter final : public mervane::MessagePresenter {
  public:
    void showMessage(QWidget*, const QString&, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    bool askYesNo(QWidget*, const QString&, const QString& text) override {
        std::fprintf(stderr, "question (answered No): %s\n", text.toUtf8().constData());
        return false;
    }
};

// Controls whose text needs more room than they have. Empty when everything fits.
std::string clippedTexts(const QWidget& window) {
    std::string clipped;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window)) continue;
        const auto* label = qobject_cast<const QLabel*>(w);
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        if (label == nullptr && button == nullptr) continue;
        QSize needed = w->sizeHint();
        // A wrapping label takes the width it is given and needs its lines' height at that width.
        if (label != nullptr && label->wordWrap())
            needed = QSize(w->width(), label->heightForWidth(w->width()));
        if (needed.width() > w->width() || needed.height() > w->height() + 1) {
            // The plant list names only the controls the tests drive.
            const QString name = !w->objectName().isEmpty() ? w->objectName()
                                 : label != nullptr         ? label->text()
                                                            : button->text();
            clipped += name.toStdString() + " needs " + std::to_string(needed.width()) + "x" +
                       std::to_string(needed.height()) + ", has " + std::to_string(w->width()) +
                       "x" + std::to_string(w->height()) + "\n";
        }
    }
    return clipped;
}

// Columns of a list whose cells or heading need more room than the column has.
std::string clippedColumns(const QTreeView& list) {
    std::string clipped;
    const QHeaderView& header = *list.header();
    // QTreeView's own override is protected; the view's public one dispatches to it.
    const QAbstractItemView& view = list;
    for (int column = 0; column < header.count(); ++column) {
        const int has = list.columnWidth(column);
        const int needed = std::max(view.sizeHintForColumn(column), header.sectionSizeHint(column));
        if (needed > has) {
            const QString title = list.model()->headerData(column, Qt::Horizontal).toString();
            clipped += list.objectName().toStdString() + " column " + title.toStdString() +
                       " needs " + std::to_string(needed) + ", has " + std::to_string(has) + "\n";
        }
    }
    return clipped;
}

// Runs the event loop until `done` holds; false after `ms` without.
bool waitFor(const std::function<bool()>& done, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QApplication::processEvents();
    return true;
}

// Saves the grab of `widget` and reports the texts in it that do not fit; the exit status.
int save(QWidget& widget, const char* path, const std::string& clipped) {
    if (!widget.grab().save(QString::fromLocal8Bit(path))) {
        std::fprintf(stderr, "mervane-shot: cannot write %s\n", path);
        return 1;
    }
    if (!clipped.empty()) {
        std::fprintf(stderr, "mervane-shot: texts cut off:\n%s", clipped.c_str());
        return 1;
    }
    std::printf("%s: %dx%d, every text fits\n", path, widget.width(), widget.height());
    return 0;
}

// The window connected to the unit at `address`.
int shootWindow(mervane::CMervaneDlg& dialog, const char* address, const char* path) {
    dialog.findChild<QLineEdit*>("AddressEdit")->setText(QString::fromLocal8Bit(address));
    dialog.findChild<QPushButton*>("ConnectButton")->click();
    waitFor([&] { return dialog.connected() || !dialog.busy(); }, 20000);
    if (!dialog.connected()) {
        std::fprintf(stderr, "mervane-shot: the window did not connect to %s\n", address);
        return 1;
    }
    return save(dialog, path, clippedTexts(dialog));
}

// The plant list opened from the window: every unit the search found, ticked and read.
int shootPlantList(mervane::CMervaneDlg& dialog, const char* path) {
    dialog.findChild<QPushButton*>("SearchButton")->click();
    auto* plant = dialog.findChild<mervane::DiscoveryDialog*>();
    if (plant == nullptr || !waitFor([&] { return !plant->searching(); }, 30000)) {
        std::fprintf(stderr, "mervane-shot: the plant list did not finish its search\n");
        return 1;
    }
    if (plant->unitCount() == 0) {
        std::fprintf(stderr, "mervane-shot: the search found no unit\n");
        return 1;
    }
    plant->findChild<QPushButton*>("CheckAllButton")->click();
    plant->findChild<QPushButton*>("ReadUnitsButton")->click();
    if (!waitFor([&] { return !plant->actions().running(); }, 60000)) {
        std::fprintf(stderr, "mervane-shot: the read of the units did not end\n");
        return 1;
    }
    return save(*plant, path,
                clippedTexts(*plant) + clippedColumns(*plant->findChild<QTreeView*>("UnitList")));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // In the language the locale asks for, as the window itself would be.
    const mervane::WindowTranslation translation(mervane::windowLanguageOfEnvironment());
    if (!translation.complete()) {
        std::fprintf(stderr, "mervane-shot: the window's translation is missing\n");
        return 1;
    }
    // The picture shows the window as it first opens: nothing the operator's own settings
    // remember (the plant list's size), and nothing written to them.
    QStandardPaths::setTestModeEnabled(true);
    mervane::programSettings().clear();
    const bool plantList = argc > 1 && std::strcmp(argv[1], "--plant") == 0;
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: mervane-shot UNIT-ADDRESS OUTPUT.png [ADAPTER-ITEM]\n"
                     "       mervane-shot --plant OUTPUT.png [ADAPTER-ITEM]\n");
        return 2;
    }
    mervane::DeviceLink link;
    mervane::LinuxAdapterSource adapters;
    PrintingPresenter presenter;
    mervane::CMervaneDlg dialog(link, adapters, presenter, {}, "mervane");
    if (!dialog.initDialog()) return 1;
    dialog.show();
    if (argc > 3) dialog.findChild<QComboBox*>("AdapterCombo")->setCurrentIndex(std::atoi(argv[3]));
    return plantList ? shootPlantList(dialog, argv[2]) : shootWindow(dialog, argv[1], argv[2]);
}
