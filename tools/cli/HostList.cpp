#include "tools/cli/HostList.h"

#include <fstream>
#include <istream>
#include <unordered_set>

namespace mervane::cli {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::variant<std::vector<std::string>, std::string> readBounded(std::istream& stream,
                                                                const std::string& name) {
    std::string text(kMaxHostFileBytes + 1, '\0');
    stream.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (stream.bad()) return "--hosts " + name + ": cannot be read";
    text.resize(static_cast<size_t>(stream.gcount()));
    if (text.size() > kMaxHostFileBytes) {
        return "--hosts " + name + ": larger than 1 MiB; a host list has one host per line";
    }
    return parseHostList(text, name);
}

}  // namespace

std::string escapedText(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            escaped += c;
        } else {
            escaped += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0x0F]};
        }
    }
    return escaped;
}

std::optional<std::string> hostTextProblem(std::string_view host) {
    for (const char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            return "\"" + escapedText(host) +
                   "\": not a host name or address (a byte outside printable ASCII)";
        }
    }
    return std::nullopt;
}

std::variant<std::vector<std::string>, std::string> parseHostList(std::string_view text,
                                                                  const std::string& name) {
    std::vector<std::string> hosts;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = line.substr(0, line.find('#'));
        while (!line.empty() && isBlank(line.front()))
            line.remove_prefix(1);
        while (!line.empty() && isBlank(line.back()))
            line.remove_suffix(1);
        if (line.empty()) continue;
        const std::string where = "--hosts " + name + ":" + std::to_string(lineNumber) + ": ";
        for (const char c : line) {
            if (isBlank(c)) {
                return where + "\"" + escapedText(line) + "\": one host per line";
            }
        }
        if (const auto problem = hostTextProblem(line)) return where + *problem;
        if (hosts.size() == kMaxHosts) {
            return where + "more than " + std::to_string(kMaxHosts) + " hosts";
        }
        hosts.emplace_back(line);
    }
    return hosts;
}

std::variant<std::vector<std::string>, std::string> readHostList(const std::string& path,
                                                                 std::istream& in) {
    if (path == "-") return readBounded(in, "-");
    std::ifstream file(path, std::ios::binary);
    if (!file) return "--hosts " + path + ": cannot be opened";
    return readBounded(file, path);
}

std::vector<std::string> uniqueHosts(const std::vector<std::string>& first,
                                     const std::vector<std::string>& more) {
    std::vector<std::string> hosts;
    std::unordered_set<std::string> seen;
    for (const auto* list : {&first, &more}) {
        for (const std::string& host : *list) {
            if (seen.insert(host).second) hosts.push_back(host);
        }
    }
    return hosts;
}

}  // namespace mervane::cli
