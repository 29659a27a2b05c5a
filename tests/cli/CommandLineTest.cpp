// What well-formed command lines ask for. Usage errors are checked end to end in CliProgramTest,
// --help and --version on the program itself under ctest.

#include "tools/cli/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace mervane::cli {
namespace {

// Every field of a request on one line, so that a table row can state all of them.
std::string fields(const CliRequest& r) {
    std::ostringstream text;
    text << static_cast<int>(r.command) << ' ' << r.host << " bind=" << std::hex
         << r.localBindAddress << std::dec << " T=" << r.identTimeoutMs << " port=" << r.port
         << " json=" << r.json << " yes=" << r.assumeYes << " mask=" << std::hex
         << r.changes.enableMask.value_or(0x100) << std::dec
         << " interval=" << r.changes.intervalIndex.value_or(-1) << " times=";
    for (const ChannelTimesChange& t : r.changes.times) {
        text << t.channel << ':' << t.onTime << ':' << t.offTime << ' ';
    }
    return text.str();
}

TEST(CommandLineTest, AcceptedLinesGiveTheRequest) {
    using Args = std::vector<std::string>;
    const std::vector<std::pair<Args, std::string>> cases{
        {{"read", "h"}, "0 h bind=0 T=2000 port=10003 json=0 yes=0 mask=100 interval=-1 times="},
        // The address is kept in network byte order.
        {{"--bind", "192.168.1.20", "-T", "1", "--port", "65535", "--json", "--yes", "start", "h"},
         "2 h bind=1401a8c0 T=1 port=65535 json=1 yes=1 mask=100 interval=-1 times="},
        // The program's options may follow the command; the last of a repeated one counts.
        {{"--port", "7", "stop", "h", "-T19999", "--port", "1"},
         "3 h bind=0 T=19999 port=1 json=0 yes=0 mask=100 interval=-1 times="},
        {{"apply", "--times", "1:1:255", "h", "--mask", "0x0F", "--times", "8:255:1", "--interval",
          "14000"},
         "1 h bind=0 T=2000 port=10003 json=0 yes=0 mask=f interval=31 times=1:1:255 8:255:1 "},
        {{"apply", "h", "--mask", "a5", "--interval", "100"},
         "1 h bind=0 T=2000 port=10003 json=0 yes=0 mask=a5 interval=0 times="},
        // No unit is contacted, so there is no HOST.
        {{"--json", "adapters"},
         "4  bind=0 T=2000 port=10003 json=1 yes=0 mask=100 interval=-1 times="},
    };
    for (const auto& [args, expected] : cases) {
        const auto parsed = parseCommandLine(args);
        ASSERT_TRUE(std::holds_alternative<CliRequest>(parsed)) << std::get<CliExit>(parsed).err;
        EXPECT_EQ(fields(std::get<CliRequest>(parsed)), expected);
    }
}

}  // namespace
}  // namespace mervane::cli
