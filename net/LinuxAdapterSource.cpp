#include "net/LinuxAdapterSource.h"

#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

namespace mervane {

namespace {

namespace fs = std::filesystem;

// Attribute files are a line or two; ifalias holds at most IFALIASZ (256) bytes.
constexpr size_t kMaxAttributeBytes = 4096;

// The file's text without trailing blanks and newlines; nullopt when it cannot be read (sysfs
// fails the read itself for attributes a device cannot give, such as the speed of a link that
// is down).
std::optional<std::string> readAttribute(const fs::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text(kMaxAttributeBytes, '\0');
    size_t length = 0;
    bool failed = false;
    while (length < text.size()) {
        const ssize_t got = read(fd, text.data() + length, text.size() - length);
        if (got < 0) {
            failed = true;
            break;
        }
        if (got == 0) break;
        length += static_cast<size_t>(got);
    }
    close(fd);
    if (failed) return std::nullopt;
    text.resize(length);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
    return text;
}

template <typename Number>
std::optional<Number> parsed(const std::optional<std::string>& text, int base = 10) {
    if (!text) return std::nullopt;
    std::string_view digits = *text;
    if (base == 16 && digits.size() >= 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x') {
        digits.remove_prefix(2);
    }
    Number value{};
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// "aa:bb:cc:dd:ee:ff" limited to `addr_len` bytes; empty when either is unreadable.
std::vector<uint8_t> hardwareAddress(const fs::path& dir) {
    const auto length = parsed<size_t>(readAttribute(dir / "addr_len"));
    const auto text = readAttribute(dir / "address");
    std::vector<uint8_t> bytes;
    if (!length || !text) return bytes;
    std::string_view rest = *text;
    while (!rest.empty() && bytes.size() < *length) {
        const size_t colon = rest.find(':');
        const auto byte = parsed<uint8_t>(std::string(rest.substr(0, colon)), 16);
        if (!byte) return {};
        bytes.push_back(*byte);
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    }
    return bytes;
}

bool isOperational(const fs::path& dir) {
    const auto state = readAttribute(dir / "operstate");
    if (!state) return false;
    if (*state == "up") return true;
    // Many virtual devices never learn a link state. For them the kernel reports IFF_RUNNING
    // exactly while the device is up, and sysfs `flags` leaves IFF_RUNNING out, so IFF_UP decides.
    if (*state != "unknown") return false;
    const auto flags = parsed<unsigned>(readAttribute(dir / "flags"), 16);
    return flags && (*flags & IFF_UP) != 0;
}

uint64_t speedBitsPerSecond(const fs::path& dir) {
    const auto mbps = parsed<int64_t>(readAttribute(dir / "speed"));
    if (!mbps || *mbps <= 0) return 0;
    constexpr int64_t kBitsPerMegabit = 1'000'000;
    const auto limit = std::numeric_limits<int64_t>::max() / kBitsPerMegabit;
    return static_cast<uint64_t>(std::min(*mbps, limit) * kBitsPerMegabit);
}

std::string driverName(const fs::path& dir) {
    std::error_code error;
    const fs::path target = fs::read_symlink(dir / "device" / "driver", error);
    return error ? std::string() : target.filename().string();
}

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t more = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0U) == 0xC0U) {
            more = 1;
            code = lead & 0x1FU;
        } else if ((lead & 0xF0U) == 0xE0U) {
            more = 2;
            code = lead & 0x0FU;
        } else if ((lead & 0xF8U) == 0xF0U) {
            more = 3;
            code = lead & 0x07U;
        } else {
            return false;
        }
        if (i + more >= text.size()) return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0U) != 0x80U) return false;
            code = code << 6 | (next & 0x3FU);
        }
        constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += more + 1;
    }
    return true;
}

std::optional<InterfaceRecord> interfaceRecord(const fs::path& dir) {
    const auto index = parsed<uint32_t>(readAttribute(dir / "ifindex"));
    if (!index) return std::nullopt;
    InterfaceRecord record;
    record.index = *index;
    record.name = dir.filename().string();
    record.operational = isOperational(dir);
    record.hardwareAddress = hardwareAddress(dir);
    record.speedBitsPerSecond = speedBitsPerSecond(dir);
    record.description = driverName(dir);
    if (record.description.empty()) record.description = record.name;
    const auto alias = readAttribute(dir / "ifalias");
    if (alias && isValidUtf8(*alias)) record.friendlyName = *alias;
    return record;
}

}  // namespace

LinuxAdapterSource::LinuxAdapterSource(std::string sysClassNet)
    : sysClassNet_(std::move(sysClassNet)) {}

std::optional<std::vector<InterfaceRecord>> LinuxAdapterSource::interfaces() {
    std::error_code error;
    fs::directory_iterator entries(sysClassNet_, error);
    if (error) return std::nullopt;
    std::vector<InterfaceRecord> records;
    for (const fs::directory_entry& entry : entries) {
        if (auto record = interfaceRecord(entry.path())) records.push_back(std::move(*record));
    }
    std::sort(records.begin(), records.end(),
              [](const auto& a, const auto& b) { return a.index < b.index; });
    return records;
}

std::optional<std::vector<AddressRow>> LinuxAdapterSource::ipv4Addresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::vector<AddressRow> rows;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        AddressRow row;
        row.address = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
        if (a->ifa_netmask != nullptr) {
            row.mask = reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr;
        }
        const std::string name(
            std::string_view(a->ifa_name).substr(0, std::string_view(a->ifa_name).find(':')));
        row.ifIndex = if_nametoindex(name.c_str());
        rows.push_back(row);
    }
    freeifaddrs(list);
    return rows;
}

}  // namespace mervane
