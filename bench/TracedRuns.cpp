#include "bench/TracedRuns.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "bench/ProcessRun.h"
#include "bench/ScratchDirectory.h"

namespace mervane::bench {

TracedRunFigures measureTracedRuns(const std::vector<std::string>& argv, int runs,
                                   const TraceCheck& check) {
    TracedRunFigures figures;
    try {
        const ScratchDirectory scratch("mervane-bench-trace");
        const std::string traceFile = scratch.file("trace.txt");
        std::vector<std::string> traced{argv.front(), "--trace", traceFile};
        traced.insert(traced.end(), argv.begin() + 1, argv.end());
        for (int run = -1; run < runs; ++run) {
            const bool tracedFirst = run % 2 != 0;  // -1, 1, 3...
            for (const bool trace : {tracedFirst, !tracedFirst}) {
                const auto result = runProcess(trace ? traced : argv);
                if (result.exitStatus != 0) {
                    figures.error = std::string(trace ? "traced" : "untraced") +
                                    " run ended with status " + std::to_string(result.exitStatus);
                    return figures;
                }
                if (run < 0 && trace) {
                    std::ifstream file(traceFile);
                    std::ostringstream text;
                    text << file.rdbuf();
                    figures.error = check(text.str());
                    if (!figures.error.empty()) return figures;
                }
                if (run >= 0) (trace ? figures.tracedMs : figures.untracedMs).add(result.wallMs);
            }
        }
    } catch (const std::runtime_error& failure) {
        figures.error = failure.what();
    }
    return figures;
}

}  // namespace mervane::bench
