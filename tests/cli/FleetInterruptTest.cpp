// The real mervane-cli applying a profile to 30 simulated units, interrupted by SIGINT at seeded
// random moments across the run: every unit must hold exactly its old settings or exactly the new
// ones, a unit reported "not started" the old ones, and the exit status must say whether any unit
// was left. A second SIGINT must end the program at once, and a closed output pipe never cuts a
// unit's writing short.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "tests/cli/FleetPlant.h"

extern char** environ;

namespace mervane::cli {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using std::chrono::steady_clock;
using testing::FleetPlant;

constexpr int kUnits = 30;
constexpr int kRounds = 16;
constexpr const char* kNotStarted = "not started";

// mervane-cli as a child process, its standard output and error in files (or both into
// `outputFd`). Killed and reaped if the test leaves it running.
class CliChild {
  public:
    CliChild(const std::vector<std::string>& args, const FleetPlant& plant, int outputFd = -1) {
        std::vector<std::string> words{MERVANE_CLI_PROGRAM};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        const auto flags = O_WRONLY | O_CREAT | O_TRUNC;
        for (const int fd : {1, 2}) {
            if (outputFd >= 0) {
                posix_spawn_file_actions_adddup2(&files, outputFd, fd);
            } else {
                const char* name = fd == 1 ? "out" : "err";
                posix_spawn_file_actions_addopen(&files, fd, plant.file(name).c_str(), flags, 0600);
            }
        }
        // SIGINT at its default and unblocked, even when the tests run where it is ignored.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &interrupt);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &files, &attributes, argv.data(), environ), 0);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&files);
    }
    ~CliChild() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    CliChild(const CliChild&) = delete;
    CliChild& operator=(const CliChild&) = delete;

    void interrupt() const {
        if (pid_ > 0) kill(pid_, SIGINT);
    }
    // The wait status, or nothing when the program is still running after `bound` (or never ran).
    std::optional<int> wait(milliseconds bound) {
        const auto end = steady_clock::now() + bound;
        int status = 0;
        pid_t ended = 0;
        while (pid_ > 0 && (ended = waitpid(pid_, &status, WNOHANG)) == 0) {
            if (steady_clock::now() > end) return std::nullopt;
            std::this_thread::sleep_for(2ms);
        }
        if (ended != pid_) return std::nullopt;
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
};

// A few milliseconds per reply, so that a run lasts long enough to be interrupted anywhere.
sim::UnitFaults slightlySlow() {
    sim::UnitFaults faults;
    faults.replyDelayMs = 2;
    return faults;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool hasReceived(const sim::SimulatedUnit& unit, const char* command) {
    const std::vector<std::string> commands = testing::tcpCommands(unit);
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

void waitUntil(const std::function<bool()>& condition) {
    const auto end = steady_clock::now() + 30s;
    while (!condition() && steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(condition()) << "the program never got there";
}

struct Round {
    milliseconds sinceFirstContact{};  // until the program ended
    int exitStatus = -1;
    int written = 0;
    int notStarted = 0;
    // Units being written when SIGINT came, with a few requests still to go: the program was
    // surely busy with them when it took the signal.
    int writtenOnAfterInterrupt = 0;
};

// Each unit's TCP requests so far, and whether they include the first write (the mask).
std::vector<std::pair<size_t, bool>> requestsSoFar(FleetPlant& plant) {
    std::vector<std::pair<size_t, bool>> requests;
    for (size_t i = 0; i < plant.size(); ++i) {
        requests.emplace_back(testing::tcpCommands(plant[i]).size(), hasReceived(plant[i], "OC"));
    }
    return requests;
}

// Each unit's requests as the trace shows them (hex), by host. Every line must be whole.
std::map<std::string, std::vector<std::string>> tracedRequests(const std::string& trace) {
    std::map<std::string, std::vector<std::string>> sent;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(event.is_discarded()) << line;
        if (event.is_discarded() || event.value("event", "") != "send") continue;
        const std::string unit = event.value("unit", "");
        sent[unit.substr(0, unit.find(':'))].push_back(event.value("bytes", ""));
    }
    return sent;
}

// One apply, interrupted once `beforeInterrupt` returns (it is called once the program has
// reached the first unit), or not at all without it.
Round applyRound(FleetPlant& plant, const std::function<void()>& beforeInterrupt) {
    plant.reset(slightlySlow());
    CliChild child(plant.applyArgs({"--jobs", "6", "--trace", plant.file("trace").string()}),
                   plant);
    Round round;
    waitUntil([&plant] { return !plant[0].received().empty(); });
    const auto firstContact = steady_clock::now();
    std::vector<std::pair<size_t, bool>> atInterrupt;
    if (beforeInterrupt) {
        beforeInterrupt();
        child.interrupt();
        atInterrupt = requestsSoFar(plant);
    }
    const std::optional<int> status = child.wait(120s);
    round.sinceFirstContact =
        std::chrono::duration_cast<milliseconds>(steady_clock::now() - firstContact);
    const std::string err = fileText(plant.file("err"));
    if (!status || !WIFEXITED(*status)) {
        ADD_FAILURE() << "the program did not end by itself: " << err;
        return round;
    }
    round.exitStatus = WEXITSTATUS(*status);
    auto results = testing::resultsByHost(fileText(plant.file("out")));
    const std::vector<std::pair<size_t, bool>> atEnd = requestsSoFar(plant);
    for (size_t i = 0; i < atInterrupt.size(); ++i) {
        round.writtenOnAfterInterrupt +=
            atInterrupt[i].second && atEnd[i].first >= atInterrupt[i].first + 5;
    }
    for (size_t i = 0; i < plant.size(); ++i) {
        const sim::UnitSettingsState held = plant[i].settings();
        const nlohmann::json& result = results[plant.host(i)];
        if (testing::sameWrittenFields(held, testing::newFleetSettings())) {
            ++round.written;
            EXPECT_TRUE(result.value("verified", false)) << result;
        } else if (testing::sameWrittenFields(held, testing::oldFleetSettings())) {
            ++round.notStarted;
            EXPECT_EQ(result.value("error", ""), kNotStarted) << result;
        } else {
            ADD_FAILURE() << plant.host(i)
                          << " holds neither its old nor the new settings: " << result;
        }
    }
    // The trace is complete after Ctrl+C: every request each unit received, in order. (A unit
    // that replies late may still be taking the last datagram in.)
    auto traced = tracedRequests(fileText(plant.file("trace")));
    for (size_t i = 0; i < plant.size(); ++i) {
        (void)plant[i].waitForReceived(traced[plant.host(i)].size(), 2s);
        std::vector<std::string> received;
        for (const sim::ReceivedRecord& r : plant[i].received()) {
            received.push_back(sim::hexText(r.bytes));
        }
        EXPECT_EQ(traced[plant.host(i)], received) << plant.host(i);
    }
    const std::string summary = "interrupted: " + std::to_string(round.notStarted) + " of " +
                                std::to_string(kUnits) + " units not started";
    // An interrupted run fails; 0 only without a signal, or for one that came as the run ended.
    const bool interrupted = bool(beforeInterrupt);
    if (!interrupted || round.notStarted + round.writtenOnAfterInterrupt > 0) {
        EXPECT_EQ(round.exitStatus, interrupted ? 1 : 0) << err;
    }
    EXPECT_LE(round.exitStatus, 1) << err;
    EXPECT_EQ(err.find(summary) != std::string::npos, round.exitStatus == 1) << err;
    return round;
}

TEST(FleetInterruptTest, EveryUnitHoldsItsOldOrTheNewSettingsAndASecondCtrlCEndsAtOnce) {
    FleetPlant plant("127.0.81.", kUnits, [](int) { return slightlySlow(); });
    const Round whole = applyRound(plant, {});
    ASSERT_EQ(whole.written, kUnits);

    // Delays across the run (the end of `whole` includes the program's exit); the seed makes a
    // failure repeatable.
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayMs(0, int(whole.sinceFirstContact.count() * 9 / 10));
    int amidWriting = 0;
    int amidConnects = 0;
    for (int r = 0; r < kRounds; ++r) {
        const milliseconds delay(delayMs(random));
        const Round round = applyRound(plant, [delay] { std::this_thread::sleep_for(delay); });
        amidWriting += round.writtenOnAfterInterrupt > 0;
        amidConnects += round.writtenOnAfterInterrupt == 0 && round.notStarted > 0;
        std::cout << "SIGINT " << delay.count() << " ms after the first contact: " << round.written
                  << " written (" << round.writtenOnAfterInterrupt << " written on after it), "
                  << round.notStarted << " not started, exit " << round.exitStatus << '\n';
    }
    std::cout << whole.sinceFirstContact.count() << " ms uninterrupted; " << kRounds
              << " interrupts: " << amidWriting << " while units were written, " << amidConnects
              << " while units were only identified or read, "
              << kRounds - amidWriting - amidConnects << " as the run ended\n";

    // Once every unit's writing has begun, nothing is left out, yet the run was interrupted.
    const Round lastWave = applyRound(plant, [&plant] {
        waitUntil([&plant] {
            for (size_t i = 0; i < plant.size(); ++i) {
                if (!hasReceived(plant[i], "OC")) return false;
            }
            return true;
        });
    });
    EXPECT_EQ(lastWave.written, kUnits);
    EXPECT_EQ(lastWave.exitStatus, 1);

    // Unit 1 never answers the switch of its cycle: its writing holds the program for the session
    // time-out (10 s), unless the second SIGINT ends the program first.
    plant.reset(slightlySlow());
    sim::UnitFaults silentSwitch;
    silentSwitch.silentCommand = "OL";
    plant[0].setFaults(silentSwitch);
    CliChild child(plant.applyArgs({"--jobs", "6"}), plant);
    waitUntil([&plant] { return hasReceived(plant[0], "OL"); });
    child.interrupt();
    std::this_thread::sleep_for(250ms);  // the first taken before the second comes
    child.interrupt();
    // Had it waited for unit 1, the program would have ended by itself, with status 1.
    const std::optional<int> status = child.wait(60s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGINT) << *status;
}

// A reader that went away (`| head`) costs the output, never the writing: the unit is written to
// the end, and the run fails instead of ending on SIGPIPE between two writes.
TEST(ClosedOutputTest, AClosedPipeNeverCutsTheWritingAndFailsTheRun) {
    FleetPlant plant("127.0.86.", 1);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    CliChild child({"--trace", "-", "apply", "--mask", "0x0F", "--times", "1:3:3", "--times",
                    "2:4:4", plant.host(0)},
                   plant, ends[1]);
    close(ends[0]);  // gone before the first line
    close(ends[1]);
    const std::optional<int> status = child.wait(60s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
    const sim::UnitSettingsState held = plant[0].settings();
    EXPECT_EQ(held.enableMask, 0x0F);
    EXPECT_EQ(held.onTime[1], 4);
    EXPECT_EQ(held.offTime[1], 4);
}

}  // namespace
}  // namespace mervane::cli
