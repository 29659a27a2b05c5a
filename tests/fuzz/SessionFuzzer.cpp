// The settings sequences end to end over a real socket pair, against a fake unit whose every
// answer comes from the fuzzer: "設定受信", "設定反映" and Start/Stop twice. Whatever it sends,
// each button ends with at most one message, and only with the messages the operator knows.
//
// Input: model index, generation, the operator's answer to the one-shot question, what the
// panel hands over (mask, eight ON and OFF times, interval), then one event per request the unit
// receives: 0xFF no answer, 0xFE the unit closes the connection, otherwise an answer of tag + 1
// bytes. When the events run out the unit closes the connection.

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "link/DeviceLink.h"
#include "link/SettingsSequences.h"
#include "link/Status.h"
#include "tests/RecordingWindow.h"
#include "tests/fuzz/FuzzInput.h"

using namespace mervane;

namespace {

constexpr uint8_t kSilent = 0xFF;
constexpr uint8_t kHangUp = 0xFE;

// The fake unit: answers each request it receives with the next event of the input.
class FakeUnit {
  public:
    FakeUnit(UniqueFd fd, fuzzing::FuzzInput& input)
        : fd_(std::move(fd)), input_(input), thread_([this] { serve(); }) {}
    ~FakeUnit() { thread_.join(); }  // after the link closed its end

    // Whether the unit has answered everything sent to it so far.
    bool idle() const {
        int pending = 0;
        // Unread requests first: once taken from the socket, a request keeps the unit busy.
        if (::ioctl(fd_.get(), FIONREAD, &pending) != 0 || pending > 0) return false;
        return !busy_.load();
    }

  private:
    void serve() {
        std::array<uint8_t, 64> request{};
        bool talking = true;
        for (;;) {
            pollfd ready{fd_.get(), POLLIN, 0};
            if (::poll(&ready, 1, -1) < 0) continue;
            busy_.store(true);
            if (::recv(fd_.get(), request.data(), request.size(), 0) <= 0) break;
            if (talking) talking = answerOne();
            busy_.store(false);
        }
        busy_.store(false);
    }

    bool answerOne() {
        const uint8_t tag = input_.empty() ? kHangUp : input_.byte();
        if (tag == kSilent) return true;
        if (tag == kHangUp) {
            ::shutdown(fd_.get(), SHUT_WR);
            return false;
        }
        const auto reply = input_.bytes(size_t{tag} + 1);
        (void)::send(fd_.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
        return true;
    }

    UniqueFd fd_;
    fuzzing::FuzzInput& input_;
    std::atomic<bool> busy_{false};
    std::thread thread_;
};

// The link's socket does not block, so an empty read fails at once like a timed-out one; the
// pause after it lets the unit answer what it has been sent. A unit that stays silent costs
// microseconds, and the outcome does not depend on thread timing.
class WaitForUnitClock final : public Clock {
  public:
    void attach(const FakeUnit& unit) { unit_ = &unit; }
    void pause(std::chrono::milliseconds) override {
        while (unit_ != nullptr && !unit_->idle())
            std::this_thread::yield();
    }

  private:
    const FakeUnit* unit_ = nullptr;
};

bool isOperatorMessage(const std::string& text) {
    for (const char* known :
         {"設定取得通信エラー: ", "設定通信エラー: 0-", "通信エラー", "設定反映通信エラー。"}) {
        if (text.starts_with(known)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    WaitForUnitClock clock;
    DeviceLink link(clock);
    DeviceIdentity& unit = link.identity();
    resetIdentity(unit, 100);
    unit.modelIndex = input.byte() % 32;
    unit.generation = input.flag() ? UnitGeneration::kGen4 : UnitGeneration::kGen3;

    testing::RecordingWindow window;
    window.answerYes = input.flag();
    AutoOnOffSettings panel;
    panel.enableMask = input.byte();
    for (size_t c = 0; c < kMaxOutputs; ++c) {
        panel.onTime[c] = input.byte();
        panel.offTime[c] = input.byte();
    }
    panel.intervalIndex = input.byte();
    window.gather = [&panel](AutoOnOffSettings& settings, const DeviceIdentity& shownUnit) {
        // The panel refuses what the unit cannot take before anything is sent.
        if (hasPerOutputTimes(shownUnit)) {
            for (int c = 0; c < outputCount(shownUnit); ++c) {
                const auto i = static_cast<size_t>(c);
                if (!isOnOffTime(panel.onTime[i]) || !isOnOffTime(panel.offTime[i])) {
                    return kStatusFailure;
                }
            }
        }
        settings.enableMask = panel.enableMask;
        settings.onTime = panel.onTime;
        settings.offTime = panel.offTime;
        settings.intervalIndex = panel.intervalIndex;
        return kStatusOk;
    };

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) {
        std::abort();
    }
    link.sessionSocket().adopt(UniqueFd(pair[0]));
    FakeUnit fakeUnit(UniqueFd(pair[1]), input);
    clock.attach(fakeUnit);

    size_t messages = 0;
    const auto check = [&](int status) {
        const auto shown = window.messages();
        // One message per failure at most (none when the operator declined the question), and
        // none on success.
        if (shown.size() > messages + 1) std::abort();
        if (status == kStatusOk && shown.size() != messages) std::abort();
        for (size_t i = messages; i < shown.size(); ++i) {
            if (!isOperatorMessage(shown[i])) std::abort();
        }
        messages = shown.size();
    };
    check(onReceiveSettings(link, window));
    check(onApplySettings(link, window));
    check(onStartStop(link, window));
    check(onStartStop(link, window));

    link.closeSession();  // the fake unit sees the end of the stream and returns
    return 0;
}
