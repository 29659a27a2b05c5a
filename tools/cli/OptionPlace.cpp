#include "tools/cli/OptionPlace.h"

#include <CLI/CLI.hpp>

namespace mervane::cli {

std::optional<MisplacedOption> optionBeforeCommand(const CLI::App& program,
                                                   const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        // "-" is a value (standard input), not an option.
        if (word == "--" || word.size() < 2 || word[0] != '-') return std::nullopt;
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (const CLI::Option* own = program.get_option_no_throw(name)) {
            // "--port 7" takes the next word; "--port=7" does not.
            if (own->get_expected_min() > 0 && equals == std::string::npos) ++i;
            continue;
        }
        for (const CLI::App* command : program.get_subcommands({})) {
            if (const CLI::Option* option = command->get_option_no_throw(name)) {
                return MisplacedOption{command, option};
            }
        }
    }
    return std::nullopt;
}

}  // namespace mervane::cli
