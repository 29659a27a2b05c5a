// Writes the fuzzers' seed corpus from the simulated unit's own answers: the bytes a healthy
// unit (and a few misbehaving ones) sends for each exchange, in each target's input format, and
// the profiles read would print of each kind of unit.
//
//   mervane-fuzz-seeds CORPUS_DIR     (CORPUS_DIR/<target>/<seed> files)

#include <sys/socket.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "fleet/Profile.h"
#include "link/DeviceLink.h"
#include "link/SettingsSequences.h"
#include "link/SocketOps.h"
#include "sim/UnitProtocol.h"
#include "tests/RecordingWindow.h"
#include "tests/fuzz/FuzzInput.h"

using namespace mervane;
namespace fs = std::filesystem;

namespace {

constexpr uint8_t kNoAnswer = 0xFF;

struct UnitKind {
    const char* name;
    int modelIndex;
    std::array<char, 2> typeCode;
    UnitGeneration generation;
};

// A letter unit with eight outputs (generation 4) and with four (generation 3), binary units of
// both families, and one of the type that takes the extra identification request.
constexpr std::array kUnits{
    UnitKind{"gen4-letter8", 19, {'_', 'W'}, UnitGeneration::kGen4},
    UnitKind{"gen3-letter4", 17, {'_', 'L'}, UnitGeneration::kGen3},
    UnitKind{"gen3-binary5", 3, {'_', 'L'}, UnitGeneration::kGen3},
    UnitKind{"gen3-binary2", 0, {'_', 'L'}, UnitGeneration::kGen3},
    UnitKind{"x6-letter2", 25, {'X', '6'}, UnitGeneration::kGen4},
};

sim::UnitConfig configOf(const UnitKind& kind, const sim::UnitFaults& faults) {
    sim::UnitConfig config;
    config.modelIndex = kind.modelIndex;
    config.typeCode = kind.typeCode;
    config.initial.enableMask = 0x0F;
    config.initial.intervalIndex = 4;
    config.initial.onTime.fill(3);
    config.initial.offTime.fill(2);
    config.initial.oneShot[0] = 1;
    config.faults = faults;
    return config;
}

// The simulated unit's protocol at the far end of a socket pair, noting each answer (or its
// absence) in the fuzz inputs' event encoding.
class RecordedPeer {
  public:
    RecordedPeer(DeviceLink& link, const sim::UnitConfig& config)
        : unit_(sim::UnitIdentity::of(config)), faults_(config.faults), state_(config.initial) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
        peer_.reset(pair[1]);
        link.sessionSocket().adopt(UniqueFd(pair[0]));
        setSocketTimeouts(link.sessionSocket().fd(), 50, 50);
        thread_ = std::thread([this] { serve(); });
    }
    // The link must have closed its end first.
    std::string finish() {
        thread_.join();
        return events_;
    }

  private:
    void serve() {
        sim::RequestBuffer requests;
        for (;;) {
            const ssize_t n =
                ::recv(peer_.get(), requests.freeSpace().data(), requests.freeSpace().size(), 0);
            if (n <= 0) return;
            requests.commit(static_cast<size_t>(n));
            while (auto request = requests.take()) {
                const auto reply = sim::answerRequest(*request, unit_, faults_, state_);
                if (!reply || reply->empty()) {
                    events_.push_back(static_cast<char>(kNoAnswer));
                    continue;
                }
                events_ += fuzzing::encodeRead(*reply);
                (void)::send(peer_.get(), reply->data(), reply->size(), MSG_NOSIGNAL);
            }
        }
    }

    sim::UnitIdentity unit_;
    sim::UnitFaults faults_;
    sim::UnitSettingsState state_;
    UniqueFd peer_;
    std::thread thread_;
    std::string events_;
};

void writeSeed(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::string byteText(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

// Runs `exchange` on a link that knows `kind`, against the simulated unit; returns the answers.
std::string recordAnswers(const UnitKind& kind, const sim::UnitFaults& faults,
                          const std::function<void(DeviceLink&)>& exchange) {
    testing::CountingClock clock;
    DeviceLink link(clock);
    resetIdentity(link.identity(), 100);
    link.identity().modelIndex = kind.modelIndex;
    link.identity().generation = kind.generation;
    RecordedPeer peer(link, configOf(kind, faults));
    exchange(link);
    link.closeSession();
    return peer.finish();
}

void writeReplyDecoderSeeds(const fs::path& corpus) {
    using Op = std::function<void(UnitCommands&)>;
    int32_t a = 0;
    int32_t b = 0;
    uint32_t mask = 0;
    // The fuzz target's command numbers.
    const std::array<std::pair<int, Op>, 12> ops{{
        {0, [](UnitCommands& c) { c.queryUnit(); }},
        {1, [](UnitCommands& c) { c.queryUnitExtended(); }},
        {2, [](UnitCommands& c) { c.setAutoActive(true); }},
        {3, [&](UnitCommands& c) { c.getAutoActive(a); }},
        {4, [](UnitCommands& c) { c.setEnableMask(0x0F); }},
        {5, [&](UnitCommands& c) { c.getEnableMask(mask); }},
        {6, [](UnitCommands& c) { c.setCommonInterval(4); }},
        {7, [&](UnitCommands& c) { c.getCommonInterval(a); }},
        {8, [](UnitCommands& c) { c.setChannelTimes(0, 5, 5); }},
        {9, [&](UnitCommands& c) { c.getChannelTimes(0, a, b); }},
        {10, [&](UnitCommands& c) { c.getOneShot(0, a); }},
        {11, [](UnitCommands& c) { c.clearOneShot(0); }},
    }};
    sim::UnitFaults stray;
    stray.strayFramesBeforeReply = 1;
    for (const UnitKind& kind : kUnits) {
        for (const auto& [number, op] : ops) {
            for (const bool withStray : {false, true}) {
                const std::string answers =
                    recordAnswers(kind, withStray ? stray : sim::UnitFaults{},
                                  [&op](DeviceLink& link) { op(link.commands()); });
                if (answers.empty() || answers[0] == static_cast<char>(kNoAnswer)) continue;
                const std::string header =
                    byteText({kind.modelIndex + 1, kind.generation == UnitGeneration::kGen4 ? 2 : 1,
                              number, 1, 5, 5});
                writeSeed(corpus / "reply_decoder",
                          std::string(kind.name) + "-" + std::to_string(number) +
                              (withStray ? "-stray" : ""),
                          header + answers);
            }
        }
    }
}

void writeFrameReaderSeeds(const fs::path& corpus) {
    const UnitKind& kind = kUnits[0];
    const std::array<std::pair<const char*, std::function<void(UnitCommands&)>>, 4> frames{{
        {"OJ",
         [](UnitCommands& c) {
             int32_t v = 0;
             c.getAutoActive(v);
         }},
        {"OH",
         [](UnitCommands& c) {
             uint32_t m = 0;
             c.getEnableMask(m);
         }},
        {"OI",
         [](UnitCommands& c) {
             int32_t x = 0, y = 0;
             c.getChannelTimes(2, x, y);
         }},
        {"NJ",
         [](UnitCommands& c) {
             int32_t v = 0;
             c.getOneShot(0, v);
         }},
    }};
    sim::UnitFaults stray;
    stray.strayFramesBeforeReply = 2;
    for (const auto& [letters, op] : frames) {
        for (const bool withStray : {false, true}) {
            std::string answers =
                recordAnswers(kind, withStray ? stray : sim::UnitFaults{},
                              [&op = op](DeviceLink& link) { op(link.commands()); });
            const std::string header =
                std::string(letters, 2) + byteText({255, 4});  // limit 256, 5-byte exact read
            writeSeed(corpus / "frame_reader", std::string(letters) + (withStray ? "-stray" : ""),
                      header + answers);
            // The same answer a byte at a time, with a time-out between the bytes.
            std::string drip;
            for (size_t i = 1; i < answers.size(); ++i) {
                drip += byteText({0, static_cast<unsigned char>(answers[i])});
                drip += static_cast<char>(fuzzing::stream_tag::kTimeOut);
            }
            if (!withStray)
                writeSeed(corpus / "frame_reader", std::string(letters) + "-drip", header + drip);
        }
    }
}

void writeSessionSeeds(const fs::path& corpus) {
    for (const UnitKind& kind : kUnits) {
        for (const bool yes : {true, false}) {
            testing::RecordingWindow window;
            window.answerYes = yes;
            const std::string answers = recordAnswers(kind, {}, [&window](DeviceLink& link) {
                onReceiveSettings(link, window);
                onApplySettings(link, window);
                onStartStop(link, window);
                onStartStop(link, window);
            });
            std::string header =
                byteText({kind.modelIndex, kind.generation == UnitGeneration::kGen4 ? 1 : 0,
                          yes ? 1 : 0, 0x0F});
            for (int i = 0; i < 8; ++i)
                header += byteText({4, 6});
            header += byteText({3});
            writeSeed(corpus / "session", std::string(kind.name) + (yes ? "-yes" : "-no"),
                      header + answers);
        }
    }
}

void writeIdentificationSeeds(const fs::path& corpus) {
    for (const UnitKind& kind : kUnits) {
        sim::UnitFaults faults;
        const sim::UnitIdentity unit = sim::UnitIdentity::of(configOf(kind, faults));
        // The requests in the order the program sends them, answered as the unit answers.
        std::vector<std::string> requests{"F6", "LN", "F8"};
        const std::string type(kind.typeCode.data(), 2);
        if (type == "X6") requests.push_back("F4");
        if (type != "_L" && type != "_W") requests.push_back("E7");
        std::string events;
        for (const std::string& name : requests) {
            const auto reply = sim::datagramReply(name, unit, faults);
            if (!reply) {
                events.push_back(static_cast<char>(kNoAnswer));
                continue;
            }
            events.push_back(static_cast<char>(reply->size()));
            events.append(reply->begin(), reply->end());
        }
        writeSeed(corpus / "identification", kind.name, events);
    }
}

void writeTextSeeds(const fs::path& corpus) {
    using namespace std::string_literals;
    for (const auto& [name, text] : std::initializer_list<std::pair<const char*, std::string>>{
             {"dash", "-T5000"s},
             {"slash-lower", " /t300 "s},
             {"last-wins", "-T100\0-x\0/T20000\0-t42"s},
             {"blank", ""s}}) {
        writeSeed(corpus / "command_line", name, text);
    }
    for (const auto& [name, text] :
         std::initializer_list<std::pair<const char*, std::string>>{{"plain", "123"s},
                                                                    {"signs", " \t-42x"s},
                                                                    {"saturates", "+99999999999"s},
                                                                    {"empty", ""s}}) {
        writeSeed(corpus / "decimal_text", name, text);
    }
}

// What read prints of each kind of unit, one spread over lines, one with times of 0 and 255, one
// with an interval outside the list, and one with the comma after a key's value missing.
void writeProfileSeeds(const fs::path& corpus) {
    const fs::path dir = corpus / "profile_reader";
    for (const UnitKind& kind : kUnits) {
        std::string profile;
        recordAnswers(kind, {}, [&profile](DeviceLink& link) {
            testing::RecordingWindow window;
            window.answerYes = true;  // clears the one-shot setting that would stop the read
            onReceiveSettings(link, window);
            profile = fleet::profileJson(link.settings(), link.identity());
        });
        writeSeed(dir, kind.name, profile);
    }
    DeviceIdentity gen4;
    gen4.modelIndex = 19;
    gen4.generation = UnitGeneration::kGen4;
    DeviceIdentity gen3 = gen4;
    gen3.modelIndex = 3;
    gen3.generation = UnitGeneration::kGen3;
    AutoOnOffSettings settings;
    settings.enableMask = 0xFF;
    settings.onTime = {0, 255, 1, 2, 3, 4, 5, 6};
    settings.offTime = {255, 0, 6, 5, 4, 3, 2, 1};
    settings.intervalIndex = 40;
    writeSeed(dir, "gen4-lines", fleet::profileObject(settings, gen4).dump(2));
    writeSeed(dir, "gen3-outside-list", fleet::profileJson(settings, gen3));
    writeSeed(dir, "missing-comma", "{\n  \"active\": true\n  \"enableMask\": 1\n}\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mervane-fuzz-seeds CORPUS_DIR\n");
        return 2;
    }
    const fs::path corpus(argv[1]);
    writeReplyDecoderSeeds(corpus);
    writeFrameReaderSeeds(corpus);
    writeSessionSeeds(corpus);
    writeIdentificationSeeds(corpus);
    writeTextSeeds(corpus);
    writeProfileSeeds(corpus);
    return 0;
}
