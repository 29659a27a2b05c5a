// The --hosts file: what is a host, what is skipped, and what is refused with its line.

#include "tools/cli/HostList.h"

#include <gtest/gtest.h>

namespace mervane::cli {
namespace {

using Hosts = std::vector<std::string>;

TEST(HostListTest, HostsAreTheWordsOfTheLinesWithoutComments) {
    const auto hosts =
        parseHostList("# plant\n10.0.0.1\r\n\n\t10.0.0.2 # left\n#10.0.0.3\nunit-7", "f");
    EXPECT_EQ(std::get<Hosts>(hosts), (Hosts{"10.0.0.1", "10.0.0.2", "unit-7"}));
    EXPECT_EQ(uniqueHosts({"b", "a"}, {"a", "c", "b"}), (Hosts{"b", "a", "c"}));
}

TEST(HostListTest, ALineOfTwoWordsOrTooManyHostsIsRefusedWithItsLine) {
    EXPECT_EQ(std::get<std::string>(parseHostList("a\n\nb c\n", "plant.txt")),
              "--hosts plant.txt:3: \"b c\": one host per line");
    std::string many;
    for (size_t i = 0; i <= kMaxHosts; ++i)
        many += "h" + std::to_string(i) + "\n";
    EXPECT_NE(std::get<std::string>(parseHostList(many, "f")).find("more than 4096"),
              std::string::npos);
}

}  // namespace
}  // namespace mervane::cli
