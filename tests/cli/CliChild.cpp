#include "tests/cli/CliChild.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace mervane::testing {

using namespace std::chrono_literals;

CliChild::CliChild(const std::vector<std::string>& args, const FleetPlant& plant, int outputFd) {
    std::vector<std::string> words{MERVANE_CLI_PROGRAM};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&files, outputFd, 1);
        posix_spawn_file_actions_adddup2(&files, outputFd, 2);
    } else {
        const auto flags = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&files, 1, plant.file("out").c_str(), flags, 0600);
        posix_spawn_file_actions_addopen(&files, 2, plant.file("err").c_str(), flags, 0600);
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

CliChild::~CliChild() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

void CliChild::interrupt() const {
    if (pid_ > 0) kill(pid_, SIGINT);
}

std::optional<int> CliChild::wait(std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    int status = 0;
    pid_t ended = 0;
    while (pid_ > 0 && (ended = waitpid(pid_, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() > end) return std::nullopt;
        std::this_thread::sleep_for(2ms);
    }
    if (ended != pid_) return std::nullopt;
    pid_ = -1;
    return status;
}

}  // namespace mervane::testing
