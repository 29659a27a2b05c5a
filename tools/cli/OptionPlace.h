#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace mervane::cli {

// A command's option typed before the command, where only the program's own options go.
struct MisplacedOption {
    const CLI::App* command = nullptr;  // the command it belongs to
    const CLI::Option* option = nullptr;
};

// The first such option of `args` (the words after the program name). The words are read up to
// the first that is neither an option nor the value of one of `program`'s own options: the
// command, or whatever stands in its place.
std::optional<MisplacedOption> optionBeforeCommand(const CLI::App& program,
                                                   const std::vector<std::string>& args);

}  // namespace mervane::cli
