#include "bench/PlantWindow.h"

#include <arpa/inet.h>

#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include "bench/Measure.h"

namespace mervane::bench {

namespace {

constexpr uint32_t kInterface = 7;
constexpr int32_t kReplyWindowMs = 500;

uint32_t networkOrder(const char* dotted) {
    in_addr address{};
    inet_pton(AF_INET, dotted, &address);
    return address.s_addr;
}

}  // namespace

std::optional<std::vector<InterfaceRecord>> LoopbackAdapter::interfaces() {
    InterfaceRecord record;
    record.index = kInterface;
    record.operational = true;
    record.hardwareAddress = {0x02, 0, 0, 0, 0, kInterface};  // the window lists only these
    record.speedBitsPerSecond = 1'000'000'000;
    record.description = "loopback";
    record.name = "bench0";
    record.friendlyName = "bench0";
    return std::vector<InterfaceRecord>{record};
}

std::optional<std::vector<AddressRow>> LoopbackAdapter::ipv4Addresses() {
    return std::vector<AddressRow>{
        {networkOrder("127.1.255.254"), kInterface, networkOrder("255.255.0.0")}};
}

PlantWindow::PlantWindow(WindowThreadWatch& watch) : watch_(watch) {
    window_ = std::make_unique<CMervaneDlg>(link_, adapters_, presenter_,
                                            std::vector<std::string>{}, QStringLiteral("mervane"));
    PlantActionSeams seams;
    seams.ask = [](const QString&) { return true; };
    seams.tell = [this](const QString& text) { presenter_.fail(text); };
    seams.chooseProfile = [this] { return QString::fromStdString(profilePath_); };
    window_->setPlantActionSeams(seams);
}

PlantWindow::~PlantWindow() {
    window_->done(0);
}

void PlantWindow::show() {
    if (!window_->initDialog()) presenter_.fail(QStringLiteral("no adapter"));
    const WatchedStep shown = watch_.run(
        [this] { window_->show(); },
        [this] { return window_->windowHandle() && window_->windowHandle()->isExposed(); }, 10000);
    if (!shown.finished) presenter_.fail(QStringLiteral("the window was never shown"));
}

WatchedStep PlantWindow::openList(uint32_t first, uint32_t last, int limitMs) {
    window_->setDiscoverySeam({{}, [first, last](fleet::DiscoveryPlan& plan) {
                                   plan.broadcasts.clear();
                                   plan.ranges = {{first, last}};
                                   plan.replyWindowMs = kReplyWindowMs;
                               }});
    window_->findChild<QLineEdit*>(QStringLiteral("PortEdit"))->setText(QStringLiteral("10003"));
    return watch_.run(
        [this] { window_->findChild<QPushButton*>(QStringLiteral("SearchButton"))->click(); },
        [this] { return window_->discoveryDialog() && !list().searching(); }, limitMs);
}

WatchedStep PlantWindow::act(const std::vector<const char*>& buttons, int limitMs, int settleMs) {
    int64_t endNs = 0;
    const auto connection =
        QObject::connect(&list().actions(), &PlantActions::runningChanged, [&endNs](bool running) {
            if (!running) endNs = monotonicNs();
        });
    int64_t startNs = 0;
    WatchedStep step = watch_.run(
        [&] {
            startNs = monotonicNs();
            for (const char* name : buttons)
                list().findChild<QPushButton*>(QString::fromLatin1(name))->click();
        },
        [&endNs] { return endNs != 0; }, limitMs, settleMs);
    QObject::disconnect(connection);
    if (step.finished) step.ms = static_cast<double>(endNs - startNs) / 1e6;
    return step;
}

void PlantWindow::closeList() {
    const WatchedStep closed = watch_.run([this] { list().reject(); },
                                          [this] { return !window_->discoveryDialog(); }, 10000, 0);
    if (!closed.finished) presenter_.fail(QStringLiteral("the plant list did not close"));
}

}  // namespace mervane::bench
