// mervane-shot: renders the real window, connected to a unit, into a PNG, and checks that every
// text in it fits its control. Run it on a real display server (Xvfb will do) so that the fonts
// and the rendering are those an operator gets.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <string>

#include "link/DeviceLink.h"
#include "net/LinuxAdapterSource.h"
#include "ui/MervaneDlg.h"
#include "ui/MessagePresenter.h"

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
        const bool hasText =
            qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w);
        if (!hasText) continue;
        const QSize needed = w->sizeHint();
        if (needed.width() > w->width() || needed.height() > w->height() + 1) {
            clipped += w->objectName().toStdString() + " needs " + std::to_string(needed.width()) +
                       "x" + std::to_string(needed.height()) + ", has " +
                       std::to_string(w->width()) + "x" + std::to_string(w->height()) + "\n";
        }
    }
    return clipped;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: mervane-shot UNIT-ADDRESS OUTPUT.png [ADAPTER-ITEM]\n");
        return 2;
    }
    mervane::DeviceLink link;
    mervane::LinuxAdapterSource adapters;
    PrintingPresenter presenter;
    mervane::CMervaneDlg dialog(link, adapters, presenter, {}, "mervane");
    if (!dialog.initDialog()) return 1;
    dialog.show();
    if (argc > 3) dialog.findChild<QComboBox*>("AdapterCombo")->setCurrentIndex(std::atoi(argv[3]));
    dialog.findChild<QLineEdit*>("AddressEdit")->setText(QString::fromLocal8Bit(argv[1]));
    dialog.findChild<QPushButton*>("ConnectButton")->click();
    const QDeadlineTimer deadline(20000);
    while (!dialog.connected() && dialog.busy() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
    if (!dialog.connected()) {
        std::fprintf(stderr, "mervane-shot: the window did not connect to %s\n", argv[1]);
        return 1;
    }
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "mervane-shot: cannot write %s\n", argv[2]);
        return 1;
    }
    const std::string clipped = clippedTexts(dialog);
    if (!clipped.empty()) {
        std::fprintf(stderr, "mervane-shot: texts cut off:\n%s", clipped.c_str());
        return 1;
    }
    std::printf("%s: %dx%d, every text fits\n", argv[2], dialog.width(), dialog.height());
    return 0;
}
