#include "tools/cli/TraceOutput.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "tools/cli/CheckedOutput.h"

namespace mervane::cli {

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

std::variant<std::unique_ptr<TraceOutput>, CliExit> TraceOutput::open(
    const std::string& path, bool json, std::ostream& err, const std::vector<Input>& inputs) {
    if (path == "-") return std::unique_ptr<TraceOutput>(new TraceOutput(UniqueFd(), &err, json));
    for (const Input& input : inputs) {
        if (sameFile(path, input.path)) {
            return usageError("--trace " + path + ": the same file as " + input.option + " " +
                              input.path + ", which the trace would empty");
        }
    }
    UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.valid()) {
        return usageError("--trace " + path + ": cannot be written (" + std::strerror(errno) + ")");
    }
    return std::unique_ptr<TraceOutput>(new TraceOutput(std::move(file), nullptr, json));
}

TraceOutput::TraceOutput(UniqueFd file, std::ostream* stream, bool json)
    : file_(std::move(file)),
      stream_(stream),
      sink_(json, [this](const std::string& line) { write(line); }) {}

void TraceOutput::write(const std::string& line) {
    const std::string text = line + '\n';
    if (stream_ != nullptr) {
        // One insertion: standard error is unbuffered, and a line must not be split by the
        // messages the command writes there meanwhile.
        *stream_ << text << std::flush;
        return;
    }
    // A full disk or a closed pipe loses the trace, never the command.
    writeWhole(file_.get(), text);
}

}  // namespace mervane::cli
