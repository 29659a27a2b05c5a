// The window's command-line switch, the version text and the number reading they share, and
// the choice of the window's language.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>
#include <vector>

#include "ui/CommandLine.h"
#include "ui/DecimalText.h"
#include "ui/VersionText.h"
#include "ui/WindowLanguage.h"

namespace mervane {
namespace {

TEST(CommandLineTest, TimeoutSwitchFollowsEveryRule) {
    using Args = std::vector<std::string>;
    const struct {
        Args args;
        int32_t expected;
    } cases[] = {
        {{}, 2000},
        {{"-T500"}, 500},
        {{"/T500"}, 500},
        {{"-t500"}, 500},
        {{"/t500"}, 500},
        {{"  -T500 \t"}, 500},
        {{"-T19999"}, 19999},
        {{"-T1"}, 1},
        // Out of range or no number: the time-out keeps its value.
        {{"-T20000"}, 2000},
        {{"-T0"}, 2000},
        {{"-T-5"}, 2000},
        {{"-T"}, 2000},
        {{"-Tabc"}, 2000},
        {{"-T99999999999"}, 2000},
        {{"-T-99999999999"}, 2000},
        // Conversion stops at the first other character; blanks after the switch are skipped.
        {{"-T1500ms"}, 1500},
        {{"-T  700"}, 700},
        {{"-T+800"}, 800},
        // The last valid switch wins; an invalid one later changes nothing.
        {{"-T800", "/T900"}, 900},
        {{"-T800", "-T0"}, 800},
        // Split over two arguments, neither carries a number with its switch.
        {{"-T", "500"}, 2000},
        // The switch further on: the first two characters go, whatever they were.
        {{"ab-T300"}, 2000},
        {{"x/T300"}, 2000},
        // Other arguments, also non-ASCII ones, are ignored.
        {{"--verbose", "接続", "-T450", ""}, 450},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& a : c.args)
            shown += "[" + a + "] ";
        EXPECT_EQ(parseCommandLine(c.args, 2000), c.expected) << shown;
    }
}

TEST(VersionTextTest, NumbersAfterThePointRunTogether) {
    EXPECT_EQ(formatVersionText({1, 1, 1, 0}), "Version 1.11");
    EXPECT_EQ(formatVersionText({1, 2, 3, 4}), "Version 1.234");
    EXPECT_EQ(formatVersionText({2, 0, 10, 0}), "Version 2.010");
    EXPECT_EQ(formatVersionText({65535, 65535, 65535, 65535}), "Version 65535.655356553565535");
}

TEST(VersionTextTest, TheProgramIsVersion111) {
    EXPECT_EQ(formatVersionText(programVersionWords()), "Version 1.11");
}

TEST(DecimalTextTest, ReadsLikeAtoiButSaturates) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"255", 255},
        {"12ab", 12},
        {" \t\n42", 42},
        {"4 2", 4},
        {"+7", 7},
        {"-7", -7},
        {"--7", 0},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"-2147483648", kMin},
        {"-2147483649", kMin},
        {"99999999999999999999999999999999", kMax},
        {"-99999999999999999999999999999999", kMin},
        {"000000000000000000000000000000012", 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseDecimalInt32(c.text), c.expected) << '"' << c.text << '"';
}

TEST(WindowLanguageTest, TheFirstLocaleVariableSetDecides) {
    using enum WindowLanguage;
    // LANGUAGE, LC_ALL, LC_MESSAGES, LANG ("" unset), and the language they choose.
    const std::vector<std::pair<std::array<std::string, 4>, WindowLanguage>> cases{
        {{"", "", "", ""}, kCLocale},
        {{"", "", "", "C.UTF-8"}, kCLocale},
        {{"", "POSIX", "", "de_DE.UTF-8"}, kCLocale},
        {{"", "", "", "ja_JP.UTF-8"}, kJapanese},
        {{"", "", "", "fr_FR@euro"}, kEnglish},
        {{"", "", "ja_JP", "en_US"}, kJapanese},
        {{"", "de_DE", "ja_JP", ""}, kEnglish},
        // LANGUAGE counts under the C locale too, and only its first entry.
        {{"en", "C", "", ""}, kEnglish},
        {{"ja:en", "", "", "en_US.UTF-8"}, kJapanese},
        {{"de:ja", "", "", ""}, kEnglish},
    };
    for (const auto& [values, expected] : cases) {
        const auto variable = [&values](const char* name) {
            const std::array<std::string, 4> names{"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
            return values[static_cast<size_t>(std::find(names.begin(), names.end(), name) -
                                              names.begin())];
        };
        EXPECT_EQ(chooseWindowLanguage(variable), expected)
            << values[0] << "|" << values[1] << "|" << values[2] << "|" << values[3];
    }
}

}  // namespace
}  // namespace mervane
