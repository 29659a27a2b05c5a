#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "link/TraceLines.h"
#include "link/UniqueFd.h"
#include "tools/cli/CommandLine.h"

namespace mervane::cli {

// Where --trace FILE writes the trace: the file (created or emptied), or `err` for "-". Each line
// is written as its event happens, with one write of its own, so a trace cut short by Ctrl+C or a
// crash still holds every event before it. Shared by every unit of the command (thread-safe).
class TraceOutput {
  public:
    // A file the command reads, named by its option ("--profile").
    struct Input {
        std::string option;
        std::string path;
    };

    // A file that cannot be written, or that is one of `inputs` (the same file under any name),
    // is a usage error, found before any unit is contacted and before the file is emptied.
    static std::variant<std::unique_ptr<TraceOutput>, CliExit> open(
        const std::string& path, bool json, std::ostream& err, const std::vector<Input>& inputs);

    TraceSink& sink() { return sink_; }

  private:
    TraceOutput(UniqueFd file, std::ostream* stream, bool json);
    void write(const std::string& line);

    UniqueFd file_;
    std::ostream* stream_;  // for "-"
    TraceLineSink sink_;
};

}  // namespace mervane::cli
