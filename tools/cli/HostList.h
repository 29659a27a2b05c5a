#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mervane::cli {

inline constexpr size_t kMaxHosts = 4096;             // as many units as a search lists
inline constexpr size_t kMaxHostFileBytes = 1 << 20;  // far above 4096 host names

// `text` with every byte outside printable ASCII shown as \xHH, so that a name typed or read from
// a file never sends control characters to the terminal.
std::string escapedText(std::string_view text);

// Why `host` cannot be a host name or an address: it holds a byte outside printable ASCII (a
// control character, a blank, anything not ASCII). The reason names the host, escaped. Pure.
std::optional<std::string> hostTextProblem(std::string_view host);

// The hosts of a --hosts file: one per line, surrounding blanks dropped, blank lines and
// everything from a '#' on skipped. Pure. A line holding two words or a byte that no host name
// holds is refused with "NAME:LINE: ..." (NAME as the operator named the file), as are more than
// kMaxHosts hosts.
std::variant<std::vector<std::string>, std::string> parseHostList(std::string_view text,
                                                                  const std::string& name);

// Reads the file at `path`, or `in` for "-", up to kMaxHostFileBytes, and parses it. The error
// says what is wrong in the words of a usage error.
std::variant<std::vector<std::string>, std::string> readHostList(const std::string& path,
                                                                 std::istream& in);

// `first` then `more`, each host once, in the order it was first named.
std::vector<std::string> uniqueHosts(const std::vector<std::string>& first,
                                     const std::vector<std::string>& more);

}  // namespace mervane::cli
