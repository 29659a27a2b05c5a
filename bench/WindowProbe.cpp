// mervane-bench-window: the real window, started as the program starts it, with a stopwatch.
// Reports when its first frame was painted (on the machine-wide monotonic clock, so that the
// process that started it can tell the cold start), its resident memory then, how long each
// press of Connect takes until the unit's settings are on the window and until they are painted,
// and its resident memory after.
//
//   mervane-bench-window IDENT-PORT TCP-PORT CONNECTS
//
// The unit must answer on 127.0.0.1: identification on IDENT-PORT, commands on TCP-PORT.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/FailingPresenter.h"
#include "bench/Measure.h"
#include "link/DeviceLink.h"
#include "net/LinuxAdapterSource.h"
#include "ui/MervaneDlg.h"

namespace {

using mervane::bench::monotonicNs;
using mervane::bench::residentKiB;

// Watches every event of the application for the frames that matter.
class Stopwatch final : public QObject {
  public:
    Stopwatch(mervane::CMervaneDlg& dialog, QString port, int connects)
        : dialog_(dialog), port_(std::move(port)), connectsLeft_(connects) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && awaitingPaint_ && belongsToDialog(watched)) {
            // The frame is complete once every widget painted in this pass has painted.
            awaitingPaint_ = false;
            QTimer::singleShot(0, this, &Stopwatch::framePainted);
        } else if (event->type() == QEvent::EnabledChange && watched == connectButton() &&
                   connecting_ && connectButton()->isEnabled() && dialog_.connected()) {
            // The connect button comes back last, when the settings are on the window.
            connecting_ = false;
            awaitingPaint_ = true;
            shownTimes_ +=
                (shownTimes_.empty() ? "" : ",") +
                mervane::bench::fixed(static_cast<double>(monotonicNs() - pressNs_) / 1e6, 3);
        }
        return false;
    }

  private:
    bool belongsToDialog(QObject* watched) const {
        const auto* widget = qobject_cast<QWidget*>(watched);
        return widget != nullptr && widget->window() == &dialog_;
    }
    QPushButton* connectButton() const {
        return dialog_.findChild<QPushButton*>(QStringLiteral("ConnectButton"));
    }

    void framePainted() {
        const int64_t now = monotonicNs();
        if (firstFrameNs_ == 0) {
            firstFrameNs_ = now;
            startKiB_ = residentKiB();
            dialog_.findChild<QLineEdit*>(QStringLiteral("AddressEdit"))
                ->setText(QStringLiteral("127.0.0.1"));
            dialog_.findChild<QLineEdit*>(QStringLiteral("PortEdit"))->setText(port_);
        } else {
            connectTimes_ += (connectTimes_.empty() ? "" : ",") +
                             mervane::bench::fixed(static_cast<double>(now - pressNs_) / 1e6, 3);
            connectedKiB_ = residentKiB();
            connectButton()->click();  // disconnect, for the next press
        }
        if (connectsLeft_-- > 0) {
            QTimer::singleShot(0, this, &Stopwatch::pressConnect);
        } else {
            std::printf(
                "first_frame_ns=%lld rss_start_kib=%ld connect_ms=%s shown_ms=%s "
                "rss_connected_kib=%ld\n",
                static_cast<long long>(firstFrameNs_), startKiB_, connectTimes_.c_str(),
                shownTimes_.c_str(), connectedKiB_);
            std::fflush(stdout);
            dialog_.done(0);
        }
    }

    void pressConnect() {
        connecting_ = true;
        pressNs_ = monotonicNs();
        connectButton()->click();
    }

    mervane::CMervaneDlg& dialog_;
    QString port_;
    int connectsLeft_;
    bool awaitingPaint_ = true;  // the first frame
    bool connecting_ = false;
    int64_t firstFrameNs_ = 0;
    int64_t pressNs_ = 0;
    long startKiB_ = 0;
    long connectedKiB_ = 0;
    std::string connectTimes_;
    std::string shownTimes_;  // until the settings are on the window, not yet painted
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: mervane-bench-window IDENT-PORT TCP-PORT CONNECTS\n");
        return 2;
    }
    mervane::DeviceLink link;
    link.setIdentificationPort(static_cast<uint16_t>(std::atoi(argv[1])));
    mervane::LinuxAdapterSource adapters;
    mervane::bench::FailingPresenter presenter("mervane-bench-window");
    mervane::CMervaneDlg dialog(link, adapters, presenter, {}, QStringLiteral("mervane"));
    Stopwatch stopwatch(dialog, QString::fromLatin1(argv[2]), std::atoi(argv[3]));
    app.installEventFilter(&stopwatch);
    QTimer::singleShot(30000, [] {
        std::fprintf(stderr, "mervane-bench-window: no result within 30 s\n");
        std::_Exit(1);
    });
    return dialog.runModal() == 0 ? 0 : 1;
}
