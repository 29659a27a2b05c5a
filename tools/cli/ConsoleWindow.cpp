#include "tools/cli/ConsoleWindow.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>

#include "fleet/SettingsComparison.h"
#include "link/Status.h"
#include "tools/cli/UnitFacts.h"

namespace mervane::cli {

namespace {

bool isYes(std::string answer) {
    while (!answer.empty() && (answer.back() == ' ' || answer.back() == '\r'))
        answer.pop_back();
    const size_t start = answer.find_first_not_of(' ');
    answer.erase(0, start == std::string::npos ? answer.size() : start);
    for (char& c : answer) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return answer == "y" || answer == "yes";
}

}  // namespace

ConsoleWindow::ConsoleWindow(std::string host, uint16_t port, std::istream& in, std::ostream& err)
    : host_(std::move(host)), port_(port), in_(in), err_(err) {}

void ConsoleWindow::writeLines(const std::string& text) {
    size_t begin = 0;
    while (begin <= text.size()) {
        const size_t end = std::min(text.find('\n', begin), text.size());
        err_ << prefix_ << text.substr(begin, end - begin) << '\n';
        begin = end + 1;
    }
    err_ << std::flush;
}

void ConsoleWindow::showMessage(const std::string& text) {
    writeLines(text);
    lastMessage_ = text;
}

void ConsoleWindow::showDiagnostic(const std::string& text) {
    writeLines("mervane-cli: " + text);
    lastMessage_ = text;
}

bool ConsoleWindow::askYesNo(const std::string& text) {
    const bool yes = askOperator(text);
    return yes && (!yesGate_ || yesGate_());
}

bool ConsoleWindow::askOperator(const std::string& text) {
    switch (policy_) {
        case AnswerPolicy::kYes:
            writeLines(text);
            writeLines("mervane-cli: answered Yes (--yes)");
            return true;
        case AnswerPolicy::kNo:
            writeLines(text);
            writeLines(
                "mervane-cli: answered No (standard input is not a terminal; --yes answers Yes)");
            return false;
        case AnswerPolicy::kNoUnasked:
            showDiagnostic(kOneShotLeftMessage);
            return false;
        case AnswerPolicy::kAskOnTerminal:
            err_ << text << '\n';
            break;
    }
    err_ << "[y/N] " << std::flush;
    std::string answer;
    if (!std::getline(in_, answer)) {
        err_ << '\n' << std::flush;
        return false;
    }
    return isYes(answer);
}

void ConsoleWindow::setStatusText(const std::string& text) {
    if (status_ != nullptr) *status_ << text << '\n' << std::flush;
}

int ConsoleWindow::refuse(const std::string& why) {
    showDiagnostic(why);
    changesRefused_ = true;
    return kStatusFailure;
}

int ConsoleWindow::gatherAutoOnOffSettings(AutoOnOffSettings& settings,
                                           const DeviceIdentity& unit) {
    changesRefused_ = false;
    const int outputs = outputCount(unit);
    const bool perOutputTimes = hasPerOutputTimes(unit);
    const std::string only = "this unit has DO1..DO" + std::to_string(outputs) + " only";
    // Built on a copy: a refused request leaves the link's settings as the unit reported them.
    AutoOnOffSettings result = settings;
    if (changes_.enableMask) {
        const uint32_t outputBits = (1U << outputs) - 1U;
        if ((*changes_.enableMask & ~outputBits) != 0) {
            char mask[48];
            std::snprintf(mask, sizeof mask, "--mask 0x%02X: ", *changes_.enableMask);
            return refuse(mask + only);
        }
        result.enableMask = *changes_.enableMask;
    }
    for (const ChannelTimesChange& change : changes_.times) {
        if (change.channel > outputs) {
            return refuse("--times " + std::to_string(change.channel) + ":...: " + only);
        }
        if (!perOutputTimes) {
            return refuse("--times: this unit, " + unitDescription(unit) +
                          ", has one common interval, not per-output times; use --interval");
        }
        const auto i = static_cast<size_t>(change.channel - 1);
        result.onTime[i] = change.onTime;
        result.offTime[i] = change.offTime;
    }
    if (changes_.intervalIndex) {
        if (perOutputTimes) {
            return refuse("--interval: this unit, " + unitDescription(unit) +
                          ", times each output; use --times CH:ON:OFF");
        }
        result.intervalIndex = *changes_.intervalIndex;
    }

    // Every output's times are written, and the unit refuses a time of 0: writing the outputs up
    // to that one and then failing would leave it half-changed.
    if (const auto output = fleet::firstTimeOutOfRange(result, unit)) {
        const auto i = static_cast<size_t>(*output - 1);
        showMessage(kTimeRangeMessage);
        showDiagnostic("DO" + std::to_string(*output) + " holds ON " +
                       std::to_string(result.onTime[i]) + ", OFF " +
                       std::to_string(result.offTime[i]) + "; give it times with --times " +
                       std::to_string(*output) + ":ON:OFF");
        changesRefused_ = true;
        return kStatusFailure;
    }
    settings = result;
    return kStatusOk;
}

}  // namespace mervane::cli
