// The real mervane-cli writing to a reader that has gone away (`| head`): the unit is written to
// the end all the same, and the run says it failed instead of ending half-way on SIGPIPE.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/cli/CliChild.h"
#include "tests/cli/FleetPlant.h"

namespace mervane::cli {
namespace {

using namespace std::chrono_literals;

TEST(ClosedOutputTest, AClosedPipeNeverCutsTheWritingAndFailsTheRun) {
    testing::FleetPlant plant("127.0.86.", 1);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    // Output and trace both go into the pipe, whose reader is gone before the first line.
    testing::CliChild child({"--trace", "-", "apply", "--mask", "0x0F", "--times", "1:3:3",
                             "--times", "2:4:4", plant.host(0)},
                            plant, ends[1]);
    close(ends[0]);
    close(ends[1]);
    const std::optional<int> status = child.wait(60s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
    const sim::UnitSettingsState held = plant[0].settings();
    EXPECT_EQ(held.enableMask, 0x0F);
    EXPECT_EQ(held.onTime[1], 4);
    EXPECT_EQ(held.offTime[1], 4);
}

}  // namespace
}  // namespace mervane::cli
