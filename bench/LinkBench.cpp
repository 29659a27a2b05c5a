// mervane-bench: how close the program comes to the least time its protocol allows, against the
// simulated unit on loopback. One run prints one Markdown table; see docs/benchmarks.md.
//
//   mervane-bench [--runs N] [--link-only] [--cli PATH] [--window-probe PATH] [--xvfb DISPLAY]
//
// The floor of a conversation is measured, not assumed: the same requests are replayed to the
// same unit by the least possible client (bench/ExchangeReplay.h), and the identification's
// two 10 ms pauses are added. With a reply delay the goal's own floor is used: 20 ms plus 5 ms
// for every reply awaited after the pauses.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/ExchangeReplay.h"
#include "bench/HeadlessOperator.h"
#include "bench/Measure.h"
#include "bench/ProcessRun.h"
#include "bench/TracedRuns.h"
#include "link/ConnectionProcedure.h"
#include "link/DeviceLink.h"
#include "link/Identification.h"
#include "link/SettingsSequences.h"
#include "link/SocketOps.h"
#include "sim/SimulatedUnit.h"

namespace {

using mervane::bench::fixed;
using mervane::bench::monotonicNs;
using mervane::bench::Samples;
using mervane::sim::ReceivedRecord;

constexpr double kPausesMs = 20;  // the identification's two 10 ms pauses
constexpr int kSlowReplyMs = 5;   // the "slow network" reply delay

struct UnitKind {
    const char* label;
    int modelIndex;
    char type[3];
    int outputs;
    bool letters;  // letter commands (generation 4) or binary ones (generation 3)
};

const UnitKind kGeneration4{"gen. 4, 8 outputs", 19, "_W", 8, true};
const UnitKind kGeneration3{"gen. 3, 5 outputs", 3, "_L", 5, false};

// What the protocol itself asks for, request by request.
int minimumConnectRequests(const UnitKind& kind) {
    const int identification = 3;  // 00 00 00 F6, "LN", 00 00 00 F8 ("_W" and "_L" stop there)
    const int unitQuery = 1;       // 'M' 'I' for generation 4, 'U' 'U' for generation 3
    return identification + unitQuery + (kind.letters ? 2 * kind.outputs + 2 : 3);
}
int minimumReadRequests(const UnitKind& kind) {
    return kind.letters ? 2 * kind.outputs + 2 : 3;  // one-shot checks, active, mask, times
}
int minimumApplyRequests(const UnitKind& kind) {
    return kind.letters ? 1 + kind.outputs : 2;  // mask, then times per output or the interval
}

double msSince(int64_t startNs) {
    return static_cast<double>(monotonicNs() - startNs) / 1e6;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "mervane-bench: %s\n", what.c_str());
    std::exit(1);
}

struct Row {
    std::string what;
    std::string unit;
    std::string requests;  // received, and the protocol's minimum
    std::string median;
    std::string floor;
    std::string ratio;
    std::string goal;
};

class Table {
  public:
    void add(Row row) { rows_.push_back(std::move(row)); }
    void print() const {
        std::printf("| Measure | Unit | Requests (minimum) | Median | Floor | Ratio | Goal |\n");
        std::printf("|---|---|---|---|---|---|---|\n");
        for (const auto& r : rows_) {
            std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", r.what.c_str(), r.unit.c_str(),
                        r.requests.c_str(), r.median.c_str(), r.floor.c_str(), r.ratio.c_str(),
                        r.goal.c_str());
        }
    }

  private:
    std::vector<Row> rows_;
};

std::string ms(double value) {
    return fixed(value, value < 1 ? 3 : 2) + " ms";
}
// What a connect cannot go below on this machine, and the fixed waits it makes on top.
struct ConnectFloor {
    double floorMs = 0;
    double drainWaitsMs = 0;  // the probe's and the session's wait for input on its way
};
using ConnectFloors = std::map<std::string, ConnectFloor>;

std::string ratio(double measured, double floor, double goal) {
    return fixed(measured / floor, 3) + (measured / floor <= goal ? "" : " ✗");
}
// A connect's ratio, and what it would be without the two 1 ms drain waits.
std::string connectRatio(double measured, const ConnectFloor& floor, double goal) {
    return ratio(measured, floor.floorMs, goal) + " (" +
           fixed((measured - floor.drainWaitsMs) / floor.floorMs, 3) + " less the drain waits)";
}

std::string requests(size_t measured, int minimum) {
    return std::to_string(measured) + " (" + std::to_string(minimum) + ")";
}

std::unique_ptr<mervane::sim::SimulatedUnit> startUnit(const UnitKind& kind, int replyDelayMs,
                                                       uint16_t udpPort = 0) {
    mervane::sim::UnitConfig config;
    config.typeCode = {kind.type[0], kind.type[1]};
    config.modelIndex = kind.modelIndex;
    config.bindAddress = "127.0.0.1";
    config.udpPort = udpPort;
    config.tcpPort = 0;
    config.initial.enableMask = 0xFF;
    config.initial.intervalIndex = 4;
    config.initial.onTime.fill(5);
    config.initial.offTime.fill(5);
    config.faults.replyDelayMs = replyDelayMs;
    auto unit = std::make_unique<mervane::sim::SimulatedUnit>(config);
    std::string error;
    if (!unit->start(&error)) return nullptr;
    return unit;
}

// Presses of Connect through the connection procedure, as the window and the command line make
// them: from the press to the settings handed to the operator.
struct ConnectFigures {
    Samples connectMs;
    Samples floorMs;
    size_t requests = 0;
    size_t repliesAfterPauses = 0;
};

ConnectFigures measureConnect(mervane::sim::SimulatedUnit& unit, int runs) {
    ConnectFigures figures;
    mervane::DeviceLink link;
    link.setIdentificationPort(unit.udpPort());
    mervane::bench::HeadlessOperator window("127.0.0.1", std::to_string(unit.tcpPort()));
    mervane::ConnectionProcedure procedure(link, window);
    std::vector<ReceivedRecord> conversation;
    for (int run = -1; run < runs; ++run) {  // run -1 warms up
        unit.clearReceived();
        const int64_t start = monotonicNs();
        procedure.onConnectClicked();
        procedure.waitForWorker();
        const double elapsed = msSince(start);
        if (!procedure.connected()) fail("connect failed: " + window.lastMessage());
        if (run >= 0) figures.connectMs.add(elapsed);
        conversation = unit.received();
        procedure.onConnectClicked();  // disconnect
    }
    figures.requests = conversation.size();
    for (const auto& record : conversation) {
        if (record.command != "F6" && record.command != "LN") ++figures.repliesAfterPauses;
    }
    for (int run = 0; run < runs; ++run) {
        const auto replay =
            mervane::bench::replayConnect(conversation, unit.udpPort(), unit.tcpPort());
        if (!replay.ok) fail("replay of a connect: " + replay.error);
        figures.floorMs.add(kPausesMs + replay.roundTripsMs);
    }
    return figures;
}

// Where a connect's time goes: its steps timed one by one on this thread.
struct ConnectSteps {
    Samples identificationMs;
    Samples sessionOpenMs;
    Samples readMs;
    Samples idleDrainMs;
};

ConnectSteps measureConnectSteps(mervane::sim::SimulatedUnit& unit, int runs) {
    ConnectSteps steps;
    mervane::DeviceLink link;
    link.setIdentificationPort(unit.udpPort());
    mervane::bench::HeadlessOperator window("127.0.0.1", std::to_string(unit.tcpPort()));
    for (int run = 0; run < runs; ++run) {
        int64_t start = monotonicNs();
        if (mervane::identifyUnit(link, 2000, unit.tcpPort(), "127.0.0.1") != 0) {
            fail("identification failed");
        }
        steps.identificationMs.add(msSince(start));
        start = monotonicNs();
        if (link.openSession(window) != 0) fail("session open failed: " + window.lastMessage());
        steps.sessionOpenMs.add(msSince(start));
        start = monotonicNs();
        if (mervane::readAutoOnOffSettings(link, window) != 0) {
            fail("read failed: " + window.lastMessage());
        }
        steps.readMs.add(msSince(start));
        // The wait for input already on its way, on a connection with nothing to read.
        start = monotonicNs();
        mervane::drainInput(link.sessionSocket().fd());
        steps.idleDrainMs.add(msSince(start));
        link.closeSession();
    }
    return steps;
}

// One button's sequence over an open session.
struct SequenceFigures {
    Samples ms;
    Samples floorMs;
    size_t requests = 0;
};

using Sequence = std::function<int(mervane::DeviceLink&, mervane::OperatorWindow&)>;

// Each run of each sequence is timed, then its requests are replayed at once by the least
// possible client to `twin`, a unit like `unit` in the same state, so that the program and its
// floor meet the machine alike.
std::map<std::string, SequenceFigures> measureSequences(
    mervane::sim::SimulatedUnit& unit, mervane::sim::SimulatedUnit& twin, const UnitKind& kind,
    int runs, const std::vector<std::pair<std::string, Sequence>>& sequences) {
    std::map<std::string, SequenceFigures> figures;
    mervane::DeviceLink link;
    link.setIdentificationPort(unit.udpPort());
    mervane::bench::HeadlessOperator window("127.0.0.1", std::to_string(unit.tcpPort()));
    mervane::ConnectionProcedure procedure(link, window);
    procedure.onConnectClicked();
    procedure.waitForWorker();
    if (!procedure.connected()) fail("connect failed: " + window.lastMessage());
    mervane::bench::ReplaySession floorClient;
    std::string error;
    if (!floorClient.open(twin.tcpPort(), kind.letters, error)) fail("replay: " + error);
    for (const auto& [name, sequence] : sequences) {
        for (int run = -1; run < runs; ++run) {
            unit.clearReceived();
            const int64_t start = monotonicNs();
            if (sequence(link, window) != 0) fail(name + " failed: " + window.lastMessage());
            const double elapsed = msSince(start);
            if (window.messages() != 0) fail(name + " showed " + window.lastMessage());
            const auto conversation = unit.received();
            const auto floor = floorClient.replay(conversation, error);
            if (!floor) fail("replay of " + name + ": " + error);
            if (run < 0) continue;
            figures[name].ms.add(elapsed);
            figures[name].floorMs.add(*floor);
            figures[name].requests = conversation.size();
        }
    }
    procedure.onConnectClicked();  // disconnect
    return figures;
}

const std::vector<std::pair<std::string, Sequence>> kSequences{
    {"Read (設定受信)", mervane::onReceiveSettings},
    {"Apply (設定反映)", mervane::onApplySettings},
    {"Start/Stop, one press", mervane::onStartStop},
};

int minimumRequests(const std::string& sequence, const UnitKind& kind) {
    if (sequence.rfind("Read", 0) == 0) return minimumReadRequests(kind);
    if (sequence.rfind("Apply", 0) == 0) return minimumApplyRequests(kind);
    return 1;
}

struct Options {
    int runs = 30;
    bool linkOnly = false;
    std::string cli;
    std::string windowProbe;
    std::string xvfbDisplay;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    options.cli = mervane::bench::besideThisProgram("../tools/cli/mervane-cli");
    options.windowProbe = mervane::bench::besideThisProgram("mervane-bench-window");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--link-only") {
            options.linkOnly = true;
        } else if (arg == "--cli" && hasValue) {
            options.cli = argv[++i];
        } else if (arg == "--window-probe" && hasValue) {
            options.windowProbe = argv[++i];
        } else if (arg == "--xvfb" && hasValue) {
            options.xvfbDisplay = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: mervane-bench [--runs N] [--link-only] [--cli PATH] "
                         "[--window-probe PATH] [--xvfb DISPLAY]\n");
            std::exit(2);
        }
    }
    return options;
}

void linkRows(Table& table, const UnitKind& kind, int runs, ConnectFloors& connectFloors) {
    double drainWaitsMs = 0;  // the probe's and the session's wait for input already on its way
    for (const int delay : {0, kSlowReplyMs}) {
        const auto unit = startUnit(kind, delay);
        if (!unit) fail("cannot start the simulated unit on 127.0.0.1");
        const auto connect = measureConnect(*unit, runs);
        std::optional<ConnectSteps> steps;
        if (delay == 0) {
            steps = measureConnectSteps(*unit, runs);
            drainWaitsMs = 2 * steps->idleDrainMs.median();
        }
        const std::string suffix = delay == 0 ? "" : ", replies 5 ms late";
        const double measured = connect.connectMs.median();
        const double replayed = connect.floorMs.median();
        const double floor =
            delay == 0 ? replayed
                       : kPausesMs + static_cast<double>(connect.repliesAfterPauses) * delay;
        const double goal = delay == 0 ? 1.10 : 1.05;
        const ConnectFloor connectFloor{floor, drainWaitsMs};
        if (delay == 0) connectFloors[kind.label] = connectFloor;
        table.add({"Connect, press to settings shown (link)" + suffix, kind.label,
                   requests(connect.requests, minimumConnectRequests(kind)) + " + 2 connects",
                   ms(measured), ms(floor) + (delay == 0 ? "" : " (replayed " + ms(replayed) + ")"),
                   connectRatio(measured, connectFloor, goal), "≤ " + fixed(goal, 2)});

        if (steps) {
            table.add({"· of which identification (pauses, UDP, probe)", kind.label, "",
                       ms(steps->identificationMs.median()), "", "", ""});
            table.add({"· of which session open", kind.label, "", ms(steps->sessionOpenMs.median()),
                       "", "", ""});
            table.add({"· of which settings read", kind.label, "", ms(steps->readMs.median()), "",
                       "", ""});
            table.add({"· of which the 1 ms drain waits (probe, session)", kind.label, "",
                       ms(drainWaitsMs), "", "", ""});
        }

        const int sequenceRuns = delay == 0 ? runs * 2 : runs;
        const auto twin = startUnit(kind, delay);
        if (!twin) fail("cannot start the simulated unit on 127.0.0.1");
        const auto sequences = measureSequences(*unit, *twin, kind, sequenceRuns, kSequences);
        for (const auto& [name, sequence] : kSequences) {
            const auto& figures = sequences.at(name);
            const double time = figures.ms.median();
            const double sequenceReplayed = figures.floorMs.median();
            const double sequenceFloor =
                delay == 0 ? sequenceReplayed : static_cast<double>(figures.requests) * delay;
            const double sequenceGoal = delay == 0 ? 1.10 : 1.05;
            table.add(
                {name + suffix, kind.label, requests(figures.requests, minimumRequests(name, kind)),
                 ms(time),
                 ms(sequenceFloor) + (delay == 0 ? "" : " (replayed " + ms(sequenceReplayed) + ")"),
                 ratio(time, sequenceFloor, sequenceGoal) +
                     (delay == 0
                          ? ""
                          : " (" + fixed(time / sequenceReplayed, 3) + " against the replayed)"),
                 "≤ " + fixed(sequenceGoal, 2)});
        }
    }
}

// 設定受信 on an open session with its trace written to a file, in turn with no trace: what the
// trace costs the link itself, without the process around it.
void tracedReadRow(Table& table, const UnitKind& kind, int runs) {
    const auto unit = startUnit(kind, 0);
    if (!unit) fail("cannot start the simulated unit on 127.0.0.1");
    mervane::DeviceLink link;
    link.setIdentificationPort(unit->udpPort());
    mervane::bench::HeadlessOperator window("127.0.0.1", std::to_string(unit->tcpPort()));
    mervane::ConnectionProcedure procedure(link, window);
    procedure.onConnectClicked();
    procedure.waitForWorker();
    if (!procedure.connected()) fail("connect failed: " + window.lastMessage());
    const auto figures = mervane::bench::measureTracedCalls(
        link, [&] { return mervane::onReceiveSettings(link, window) == 0; }, runs);
    procedure.onConnectClicked();  // disconnect
    if (!figures.error.empty()) fail("read with a trace: " + figures.error);
    const double untraced = figures.untracedMs.median();
    const double traced = figures.tracedMs.median();
    table.add({"Read (設定受信), the trace written to a file (link)", kind.label, "", ms(traced),
               "", fixed(traced / untraced, 3) + " against no trace (" + ms(untraced) + ")", ""});
}

// Fields of the window probe's report line ("name=value ...").
std::map<std::string, std::string> reportFields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
        const auto equals = word.find('=');
        if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
    }
    return fields;
}

// "1.5,2.25,..." into `samples`.
void addList(Samples& samples, const std::string& list) {
    std::istringstream values(list);
    std::string value;
    while (std::getline(values, value, ','))
        samples.add(std::stod(value));
}

void windowRows(Table& table, const Options& options, const std::string& platform,
                const std::vector<std::string>& environment, int launches,
                const ConnectFloors& connectFloors) {
    Samples coldStartMs;
    Samples startKiB;
    Samples connectedKiB;
    for (const UnitKind* kind : {&kGeneration4, &kGeneration3}) {
        const auto unit = startUnit(*kind, 0);
        if (!unit) fail("cannot start the simulated unit on 127.0.0.1");
        Samples connectMs;
        Samples shownMs;
        for (int launch = 0; launch < launches; ++launch) {
            const auto result =
                mervane::bench::runProcess({options.windowProbe, std::to_string(unit->udpPort()),
                                            std::to_string(unit->tcpPort()), "5"},
                                           environment);
            if (result.exitStatus != 0) fail("the window probe failed on " + platform);
            auto fields = reportFields(result.output);
            coldStartMs.add(
                static_cast<double>(std::stoll(fields["first_frame_ns"]) - result.startNs) / 1e6);
            startKiB.add(std::stod(fields["rss_start_kib"]));
            connectedKiB.add(std::stod(fields["rss_connected_kib"]));
            addList(connectMs, fields["connect_ms"]);
            addList(shownMs, fields["shown_ms"]);
        }
        const ConnectFloor& floor = connectFloors.at(kind->label);
        table.add({"Connect, press to settings painted (window, " + platform + ")", kind->label, "",
                   ms(connectMs.median()), ms(floor.floorMs),
                   connectRatio(connectMs.median(), floor, 1.10), "≤ 1.10"});
        table.add({"· of which until the settings are on the window, unpainted", kind->label, "",
                   ms(shownMs.median()), "", "", ""});
    }
    table.add({"Window cold start to first painted frame (" + platform + ")", "", "",
               ms(coldStartMs.median()), "", "", ""});
    table.add({"Window resident memory after start (" + platform + ")", "", "",
               fixed(startKiB.median() / 1024, 1) + " MiB", "", "", ""});
    table.add({"Window resident memory after a connection (" + platform + ")", "", "",
               fixed(connectedKiB.median() / 1024, 1) + " MiB", "", "", ""});
}

// What is wrong with the trace file of one `mervane-cli read` that made `requests` requests, or "".
std::string traceProblem(const std::string& trace, size_t requests, const UnitKind& kind) {
    // A line for each request and each reply, less one: the first identification reply answers
    // either of the two requests before it. The probe's and the session's connections add their
    // connect, its result, the drain and the close each, the datagram socket its close. A letter
    // unit's query reply is read in two parts, its bytes and then its terminator.
    const size_t expected = 2 * requests - 1 + 2 * 4 + 1 + (kind.letters ? 1 : 0);
    size_t lines = 0;
    size_t sends = 0;
    std::istringstream text(trace);
    for (std::string line; std::getline(text, line); ++lines) {
        if (line.find(" -> ") != std::string::npos && !line.ends_with("  connect")) ++sends;
    }
    if (trace.empty() || trace.back() != '\n' || lines != expected || sends != requests) {
        return "the trace holds " + std::to_string(lines) + " lines, " + std::to_string(sends) +
               " of them requests; expected " + std::to_string(expected) + ", " +
               std::to_string(requests) + " of them requests";
    }
    return "";
}

void cliRows(Table& table, const Options& options, int runs, const ConnectFloors& connectFloors) {
    // What starting and ending the program costs, with no unit involved.
    Samples startMs;
    for (int run = -1; run < runs; ++run) {
        const auto result = mervane::bench::runProcess({options.cli, "--version"});
        if (result.exitStatus != 0) fail("mervane-cli --version failed");
        if (run >= 0) startMs.add(result.wallMs);
    }
    for (const UnitKind* kind : {&kGeneration4, &kGeneration3}) {
        // The command line talks to the identification port every unit has.
        const auto unit = startUnit(*kind, 0, mervane::kIdentificationPort);
        if (!unit) {
            table.add({"`mervane-cli read`, whole process", kind->label, "",
                       "not run: UDP port 30718 on 127.0.0.1 is taken", "", "", ""});
            continue;
        }
        Samples wallMs;
        Samples peakKiB;
        for (int run = -1; run < runs; ++run) {
            const auto result = mervane::bench::runProcess(
                {options.cli, "--port", std::to_string(unit->tcpPort()), "read", "127.0.0.1"});
            if (result.exitStatus != 0) fail("mervane-cli read failed");
            if (run < 0) continue;
            wallMs.add(result.wallMs);
            peakKiB.add(static_cast<double>(result.maxResidentKiB));
        }
        const ConnectFloor& floor = connectFloors.at(kind->label);
        table.add({"`mervane-cli read`, start to settings printed, whole process", kind->label, "",
                   ms(wallMs.median()), ms(floor.floorMs),
                   connectRatio(wallMs.median(), floor, 1.10), "≤ 1.10"});
        table.add({"`mervane-cli read`, peak resident memory", kind->label, "",
                   fixed(peakKiB.median() / 1024, 1) + " MiB", "", "", ""});

        // The same read with its trace written to a file, in turn with it untraced.
        unit->clearReceived();
        const auto traced = mervane::bench::measureTracedRuns(
            {options.cli, "--port", std::to_string(unit->tcpPort()), "read", "127.0.0.1"}, runs,
            [&unit, kind](const std::string& trace) {
                return traceProblem(trace, unit->received().size(), *kind);
            });
        if (!traced.error.empty()) fail("mervane-cli --trace FILE read: " + traced.error);
        const double untracedMs = traced.untracedMs.median();
        table.add({"`mervane-cli read`, whole process, no trace (in turn with the next row)",
                   kind->label, "", ms(untracedMs), "", "", ""});
        table.add({"`mervane-cli --trace FILE read`, whole process, the trace written to a file",
                   kind->label, "", ms(traced.tracedMs.median()), "",
                   ratio(traced.tracedMs.median(), untracedMs, 1.05) + " against no trace",
                   "≤ 1.05"});
    }
    table.add({"· `mervane-cli --version`, whole process (starting and ending it)", "", "",
               ms(startMs.median()), "", "", ""});
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    Table table;
    ConnectFloors connectFloors;
    for (const UnitKind* kind : {&kGeneration4, &kGeneration3}) {
        linkRows(table, *kind, options.runs, connectFloors);
        tracedReadRow(table, *kind, options.runs * 2);
    }
    if (!options.linkOnly) {
        cliRows(table, options, options.runs, connectFloors);
        const int launches = std::max(1, options.runs / 6);
        windowRows(table, options, "offscreen", {"QT_QPA_PLATFORM=offscreen"}, launches,
                   connectFloors);
        if (!options.xvfbDisplay.empty()) {
            windowRows(table, options, "Xvfb",
                       {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + options.xvfbDisplay}, launches,
                       connectFloors);
        }
    }
    table.print();
    return 0;
}
