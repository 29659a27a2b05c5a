#include "bench/PlantProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "bench/Measure.h"
#include "link/UniqueFd.h"

namespace mervane::bench {

namespace {

constexpr int64_t kStartLimitNs = 20'000'000'000;

[[noreturn]] void runChild(const std::vector<std::string>& argv, int output, pid_t parent,
                           int niceness) {
    // A benchmark that crashes must not leave a thousand units behind.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(output, STDOUT_FILENO);
    if (niceness != 0) (void)::setpriority(PRIO_PROCESS, 0, niceness);
    std::vector<char*> pointers;
    for (const std::string& arg : argv)
        pointers.push_back(const_cast<char*>(arg.c_str()));
    pointers.push_back(nullptr);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
}

}  // namespace

PlantProcess::PlantProcess(const std::string& program, std::vector<std::string> arguments,
                           int units, int niceness) {
    arguments.insert(arguments.begin(), program);
    arguments.emplace_back("--quiet");
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) runChild(arguments, writeEnd.get(), parent, niceness);
    writeEnd.reset();

    // A summary line, then one line per unit: all of them read, so that the child never blocks
    // on a full pipe.
    int lines = 0;
    const int64_t deadline = monotonicNs() + kStartLimitNs;
    std::array<char, 4096> buffer{};
    while (lines < units + 1) {
        const int64_t left = deadline - monotonicNs();
        pollfd ready{readEnd.get(), POLLIN, 0};
        if (left <= 0 || ::poll(&ready, 1, static_cast<int>(left / 1'000'000)) == 0) break;
        const ssize_t n = ::read(readEnd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        lines += static_cast<int>(std::count(buffer.begin(), buffer.begin() + n, '\n'));
    }
    if (lines < units + 1) {
        stop();
        throw std::runtime_error(program + " did not start its " + std::to_string(units) +
                                 " units");
    }
}

double PlantProcess::cpuMs() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command's closing parenthesis: state is field 3, utime 14, stime 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::stod(field);
    }
    return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

PlantProcess::~PlantProcess() {
    stop();
}

void PlantProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace mervane::bench
