#include "bench/ProcessRun.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bench/Measure.h"
#include "link/UniqueFd.h"

extern char** environ;

namespace mervane::bench {

namespace {

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts)
        result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// The number after `key` ("\nThreads:") in `text`, 0 when absent.
long field(const char* text, const char* key) {
    const char* found = std::strstr(text, key);
    return found == nullptr ? 0 : std::atol(found + std::strlen(key));
}

// Peak memory and threads from /proc/PID/status. Plain system calls: the sampler runs every
// millisecond beside the process it measures and should cost it little.
void sample(pid_t pid, ProcessResult& result) {
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    const UniqueFd status(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!status.valid()) return;
    std::array<char, 4096> text{};
    const ssize_t n = ::read(status.get(), text.data(), text.size() - 1);
    if (n <= 0) return;
    // A process that has ended keeps no memory figures: the last one is kept then.
    if (const long peak = field(text.data(), "\nVmHWM:"); peak > 0) result.sampledPeakKiB = peak;
    result.peakThreads =
        std::max(result.peakThreads, static_cast<int>(field(text.data(), "\nThreads:")));
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment, int sampleMs) {
    ProcessResult result;
    std::vector<std::string> arguments = argv;
    std::vector<std::string> variables;
    // The given variables replace any of the same name: the first one found would win.
    const auto overridden = [&environment](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        for (const auto& given : environment) {
            if (given.rfind(name, 0) == 0) return true;
        }
        return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!overridden(*entry)) variables.emplace_back(*entry);
    }
    variables.insert(variables.end(), environment.begin(), environment.end());

    std::array<int, 2> pipeEnds{};
    if (::pipe2(pipeEnds.data(), O_CLOEXEC) != 0) return result;
    UniqueFd readEnd(pipeEnds[0]);
    UniqueFd writeEnd(pipeEnds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);

    auto argumentPointers = pointers(arguments);
    auto variablePointers = pointers(variables);
    pid_t child = 0;
    result.startNs = monotonicNs();
    const int spawned = ::posix_spawn(&child, arguments[0].c_str(), &actions, nullptr,
                                      argumentPointers.data(), variablePointers.data());
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();
    if (spawned != 0) return result;
    result.started = true;

    std::array<char, 4096> buffer{};
    for (;;) {
        if (sampleMs > 0) {
            // The output ends when the process does: until then, a sample at every wake.
            pollfd output{readEnd.get(), POLLIN, 0};
            const int ready = ::poll(&output, 1, sampleMs);
            sample(child, result);
            if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        }
        const ssize_t n = ::read(readEnd.get(), buffer.data(), buffer.size());
        if (n > 0) {
            result.output.append(buffer.data(), static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.wallMs = static_cast<double>(monotonicNs() - result.startNs) / 1e6;
    result.maxResidentKiB = usage.ru_maxrss;
    const auto ms = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
    };
    result.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

std::string besideThisProgram(const std::string& relative) {
    std::vector<char> path(4096);
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return relative;
    std::string self(path.data(), static_cast<size_t>(n));
    return self.substr(0, self.rfind('/') + 1) + relative;
}

}  // namespace mervane::bench
