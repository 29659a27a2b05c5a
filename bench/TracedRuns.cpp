#include "bench/TracedRuns.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "bench/ProcessRun.h"
#include "bench/ScratchDirectory.h"
#include "link/DeviceLink.h"
#include "link/TraceLines.h"
#include "link/UniqueFd.h"

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

TracedRunFigures measureTracedCalls(DeviceLink& link, const std::function<bool()>& call, int runs) {
    TracedRunFigures figures;
    try {
        const ScratchDirectory scratch("mervane-bench-trace");
        const std::string path = scratch.file("trace.txt");
        const UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!file.valid()) throw std::runtime_error("cannot write " + path);
        TraceLineSink sink(false, [&file](const std::string& line) {
            const std::string text = line + '\n';
            if (::write(file.get(), text.data(), text.size()) < 0) return;  // as the command does
        });
        for (int run = -1; run < runs; ++run) {
            const bool tracedFirst = run % 2 != 0;
            for (const bool trace : {tracedFirst, !tracedFirst}) {
                link.trace().setSink(trace ? &sink : nullptr);
                const int64_t start = monotonicNs();
                const bool ok = call();
                const double elapsedMs = static_cast<double>(monotonicNs() - start) / 1e6;
                link.trace().setSink(nullptr);
                if (!ok) {
                    figures.error = trace ? "traced call failed" : "untraced call failed";
                    return figures;
                }
                if (run >= 0) (trace ? figures.tracedMs : figures.untracedMs).add(elapsedMs);
            }
        }
    } catch (const std::runtime_error& failure) {
        figures.error = failure.what();
    }
    return figures;
}

}  // namespace mervane::bench
